#include "framework/qt/Widgets.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>
#include <tuple>

namespace {

bool IsEnterKey(const QKeyEvent* e) { return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter; }

// List items of one fixed height, as the combo's SetItemHeight asks.
class FixedHeightDelegate : public QStyledItemDelegate {
public:
    FixedHeightDelegate(const ComboBoxWidget* combo, QObject* parent)
        : QStyledItemDelegate(parent),
          m_combo(combo)
    {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(m_combo->listItemHeight());
        return size;
    }

private:
    const ComboBoxWidget* m_combo;
};

constexpr int kOctetMax = 255;
constexpr int kOctetDigits = 3;
constexpr int kIpFrameMargin = 2;

}  // namespace

// ---- ComboBoxWidget ----

ComboBoxWidget::ComboBoxWidget(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Nothing completes the operator's typing, and Enter never picks an item.
    setCompleter(nullptr);
    setDuplicatesEnabled(true);
    lineEdit()->installEventFilter(this);
    // QComboBox picks the item matching the typed text when the field loses
    // the focus; here only the operator's choice from the list selects.
    disconnect(lineEdit(), &QLineEdit::editingFinished, this, nullptr);

    connect(lineEdit(), &QLineEdit::textEdited, this, [this] {
        m_curSel = -1;
        emit editTextChanged();
    });
    connect(this, &QComboBox::activated, this, [this](int index) {
        m_curSel = index;
        emit selectionChanged();
    });
}

int ComboBoxWidget::appendItem(const QString& text)
{
    // QComboBox makes the first item of an empty list current and shows it.
    const QString field = lineEdit()->text();
    addItem(text);
    if (lineEdit()->text() != field)
        lineEdit()->setText(field);
    return count() - 1;
}

bool ComboBoxWidget::selectItem(int index)
{
    if (index < 0 || index >= count()) {
        m_curSel = -1;
        setCurrentIndex(-1);
        lineEdit()->clear();
        return false;
    }
    m_curSel = index;
    setCurrentIndex(index);
    lineEdit()->setText(itemText(index));
    return true;
}

QString ComboBoxWidget::fieldText() const { return lineEdit()->text(); }

void ComboBoxWidget::setFieldText(const QString& text)
{
    m_curSel = -1;
    lineEdit()->setText(text);
}

void ComboBoxWidget::clearItems()
{
    clear();
    m_curSel = -1;
    lineEdit()->clear();
}

void ComboBoxWidget::setListItemHeight(int pixels)
{
    if (m_itemHeight == 0 && pixels > 0)
        setItemDelegate(new FixedHeightDelegate(this, this));
    m_itemHeight = pixels;
    view()->doItemsLayout();
}

void ComboBoxWidget::showPopup()
{
    QAbstractItemView* list = view();
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, list->sizeHintForIndex(model()->index(i, modelColumn())).width());
    const bool scrolls = count() > maxVisibleItems();
    const int scrollBar = scrolls ? list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list) : 0;
    // Port names outgrow a field made for "COM3", and QComboBox widens the
    // list only for styles that pop it up as a menu: widen it here.
    list->setMinimumWidth(widest + 2 * list->frameWidth() + scrollBar);
    QComboBox::showPopup();
}

void ComboBoxWidget::keyPressEvent(QKeyEvent* event)
{
    // Enter with the list closed belongs to the dialog (its OK).
    if (IsEnterKey(event) && !view()->isVisible()) {
        event->ignore();
        return;
    }
    QComboBox::keyPressEvent(event);
}

bool ComboBoxWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsEnterKey(key) && !view()->isVisible()) {
            // Not accepted: the event travels on to the combo and the dialog.
            key->ignore();
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

// ---- StaticText ----

StaticText::StaticText(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void StaticText::setWidthLimit(int pixels)
{
    m_templateWidth = width();
    m_widthLimit = std::max(pixels, m_templateWidth);
}

void StaticText::setShownText(const QString& text)
{
    setText(text);
    if (m_widthLimit > 0)
        resize(std::clamp(sizeHint().width(), m_templateWidth, m_widthLimit), height());
}

// ---- IpAddressWidget ----

IpAddressWidget::IpAddressWidget(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kIpFrameMargin, kIpFrameMargin, kIpFrameMargin, kIpFrameMargin);
    layout->setSpacing(0);
    const QRegularExpression digits(QStringLiteral("[0-9]{0,3}"));
    for (int i = 0; i < kFields; ++i) {
        auto* field = new QLineEdit(this);
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(kOctetDigits);
        field->setValidator(new QRegularExpressionValidator(digits, field));
        // One tab stop for the whole control: the first field.
        field->setFocusPolicy(i == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { onFieldEdited(i); });
        m_fields[static_cast<std::size_t>(i)] = field;
        layout->addWidget(field, 1);
        if (i + 1 < kFields) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAccessibleName(QString());
            layout->addWidget(dot);
        }
    }
    setFocusProxy(m_fields[0]);
}

QString IpAddressWidget::text() const
{
    QStringList parts;
    for (const QLineEdit* field : m_fields)
        parts << QString::number(field->text().toInt());  // blank reads 0
    return parts.join(QLatin1Char('.'));
}

void IpAddressWidget::setText(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    for (int i = 0; i < kFields; ++i) {
        QLineEdit* field = m_fields[static_cast<std::size_t>(i)];
        bool ok = false;
        const int value = i < parts.size() ? parts[i].trimmed().toInt(&ok) : 0;
        field->setText(ok && value >= 0 && value <= kOctetMax ? QString::number(value) : QString());
    }
}

bool IpAddressWidget::isBlank() const
{
    for (const QLineEdit* field : m_fields) {
        if (!field->text().isEmpty())
            return false;
    }
    return true;
}

void IpAddressWidget::setAccessibleNameAll(const QString& name)
{
    setAccessibleName(name);
    for (QLineEdit* field : m_fields)
        field->setAccessibleName(name);
}

void IpAddressWidget::onFieldEdited(int i)
{
    QLineEdit* field = m_fields[static_cast<std::size_t>(i)];
    if (field->text().toInt() > kOctetMax)
        field->setText(QString::number(kOctetMax));
    if (field->text().size() == kOctetDigits && i + 1 < kFields)
        moveTo(i + 1);
}

void IpAddressWidget::moveTo(int i)
{
    QLineEdit* field = m_fields[static_cast<std::size_t>(i)];
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
}

int IpAddressWidget::fieldIndex(const QObject* watched) const
{
    int i = 0;
    while (i < kFields && m_fields[static_cast<std::size_t>(i)] != watched)
        ++i;
    return i;
}

bool IpAddressWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);
    const int i = fieldIndex(watched);
    if (i == kFields)
        return QFrame::eventFilter(watched, event);
    if (moveOnKey(i, static_cast<const QKeyEvent*>(event)->key()))
        return true;
    return QFrame::eventFilter(watched, event);
}

bool IpAddressWidget::moveOnKey(int i, int key)
{
    QLineEdit* field = m_fields[static_cast<std::size_t>(i)];
    const bool atStart = field->cursorPosition() == 0 && !field->hasSelectedText();
    const bool atEnd = field->cursorPosition() == field->text().size() && !field->hasSelectedText();
    switch (key) {
    case Qt::Key_Period:
        if (i + 1 < kFields && !field->text().isEmpty())
            moveTo(i + 1);
        return true;  // a dot is never part of an octet
    case Qt::Key_Backspace:
    case Qt::Key_Left:
        if (atStart && i > 0) {
            QLineEdit* prev = m_fields[static_cast<std::size_t>(i - 1)];
            prev->setFocus(Qt::OtherFocusReason);
            prev->end(false);
            return true;
        }
        return false;
    case Qt::Key_Right:
        if (atEnd && i + 1 < kFields) {
            QLineEdit* next = m_fields[static_cast<std::size_t>(i + 1)];
            next->setFocus(Qt::OtherFocusReason);
            next->home(false);
            return true;
        }
        return false;
    default: return false;
    }
}

// ---- MultiLineEdit ----

MultiLineEdit::MultiLineEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    // Long lines wrap at the box's edge; Tab leaves the box, as in a dialog.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_setting)
            return;
        m_text = toPlainText();
        m_text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    });
}

void MultiLineEdit::setText(const QString& text)
{
    m_text = text;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_setting = true;
    setPlainText(shown);
    m_setting = false;
}

// ---- window text ----

namespace {

// How the text of each class of control the templates make is read and
// set, most derived class first; any other widget's text is its title.
template <class W>
struct TextAccess {
    QString (W::*get)() const;
    void (W::*set)(const QString&);
};

constexpr std::tuple kTextAccess{
    TextAccess<ComboBoxWidget>{&ComboBoxWidget::fieldText, &ComboBoxWidget::setFieldText},
    TextAccess<IpAddressWidget>{&IpAddressWidget::text, &IpAddressWidget::setText},
    TextAccess<MultiLineEdit>{&MultiLineEdit::text, &MultiLineEdit::setText},
    TextAccess<QLineEdit>{&QLineEdit::text, &QLineEdit::setText},
    TextAccess<StaticText>{&StaticText::text, &StaticText::setShownText},
    TextAccess<QLabel>{&QLabel::text, &QLabel::setText},
    TextAccess<QAbstractButton>{&QAbstractButton::text, &QAbstractButton::setText},
    TextAccess<QGroupBox>{&QGroupBox::title, &QGroupBox::setTitle},
    TextAccess<QWidget>{&QWidget::windowTitle, &QWidget::setWindowTitle},
};

template <class W, class F>
bool TryTextAccess(const TextAccess<W>& access, QWidget* w, F& f)
{
    W* widget = qobject_cast<W*>(w);
    if (widget)
        f(access, widget);
    return widget != nullptr;
}

// Calls f(access, widget) with the first entry whose class `w` is, and `w`
// as that class.
template <class F>
void WithTextAccess(QWidget* w, F&& f)
{
    std::apply([&](const auto&... access) { (TryTextAccess(access, w, f) || ...); }, kTextAccess);
}

}  // namespace

QString ControlText(const QWidget* w)
{
    QString text;
    // Only the access's const getter runs on the widget.
    WithTextAccess(const_cast<QWidget*>(w),
                   [&](const auto& access, auto* widget) { text = (widget->*access.get)(); });
    return text;
}

void SetControlText(QWidget* w, const QString& text)
{
    WithTextAccess(w, [&](const auto& access, auto* widget) { (widget->*access.set)(text); });
}

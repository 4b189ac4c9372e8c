// CDialog on a QDialog: the template's controls as Qt widgets, the message
// map as functor connections.
#include "framework/Dialog.h"

#include "framework/WinApp.h"
#include "framework/qt/Impl.h"
#include "framework/qt/Native.h"
#include "framework/qt/Widgets.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace {

bool Has(std::uint32_t style, std::uint32_t flag) { return (style & flag) != 0; }

// Room a static text keeps from its group box's edge and from the next
// control on its row, in dialog units.
constexpr int kStaticTextRoomDu = 2;

// Each static text in a group box may widen into the free room to its
// right, up to the box's edge or the next control on its row, so a longer
// text (a state line with a long port name) is not cut.
void LimitStaticTexts(const std::vector<CreatedControl>& created, int room)
{
    for (const CreatedControl& text : created) {
        auto* label = qobject_cast<StaticText*>(text.widget);
        if (!label || text.control->group.empty())
            continue;
        const QRect own = label->geometry();
        int right = own.right();
        for (const CreatedControl& other : created) {
            if (other.control->kind == res::ControlKind::GroupBox
                && other.control->caption == text.control->group)
                right = std::max(right, other.widget->geometry().right() - room);
        }
        for (const CreatedControl& other : created) {
            const QRect r = other.widget->geometry();
            const bool sameRow = r.top() <= own.bottom() && r.bottom() >= own.top();
            if (other.widget != label && other.control->kind != res::ControlKind::GroupBox && sameRow
                && r.left() > own.right())
                right = std::min(right, std::max(own.right(), r.left() - room));
        }
        label->setWidthLimit(right - own.left() + 1);
    }
}

// The title bar and caption the template's styles ask for.
void SetWindowFrame(QDialog* dlg, const res::DialogTemplate& t)
{
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if (Has(t.style, res::dlgstyle::kCaption))
        flags |= Qt::WindowTitleHint;
    if (Has(t.style, res::dlgstyle::kSysMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (Has(t.style, res::dlgstyle::kMinimizeBox))
        flags |= Qt::WindowMinimizeButtonHint;
    dlg->setWindowFlags(flags);
    dlg->setWindowTitle(ToQString(ToCString(t.caption)));
}

QWidget* MakeLabel(const QString& caption, QDialog* dlg)
{
    auto* label = new StaticText(caption, dlg);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// Placed here, not by PlaceControl: the template's height is the opened
// list's, and the field keeps its natural height.
QWidget* MakeComboBox(const QRect& rect, QDialog* dlg)
{
    auto* combo = new ComboBoxWidget(dlg);
    const int fieldHeight = std::min(combo->sizeHint().height(), rect.height());
    const int rowHeight = combo->fontMetrics().height();
    combo->setMaxVisibleItems(std::max(1, (rect.height() - fieldHeight) / rowHeight));
    combo->setGeometry(rect.x(), rect.y(), rect.width(), fieldHeight);
    return combo;
}

QWidget* MakeEdit(const res::ControlTemplate& c, const QRect& rect, int lineHeight, QDialog* dlg)
{
    namespace st = res::style;
    if (Has(c.style, st::kMultiLine)) {
        auto* edit = new MultiLineEdit(dlg);
        edit->setReadOnly(Has(c.style, st::kReadOnly));
        edit->setVerticalScrollBarPolicy(Has(c.style, st::kVScroll) ? Qt::ScrollBarAlwaysOn
                                                                    : Qt::ScrollBarAlwaysOff);
        return edit;
    }
    auto* edit = new QLineEdit(dlg);
    edit->setReadOnly(Has(c.style, st::kReadOnly));
    // One line in a box drawn taller than two lines sits at its top, as a
    // Windows edit control shows it.
    if (rect.height() > 2 * lineHeight)
        edit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return edit;
}

QWidget* MakePushButton(const QString& caption, QDialog* dlg)
{
    auto* button = new QPushButton(caption, dlg);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The widget for a template control of any kind, `rect` being its
// template rectangle in pixels.
QWidget* MakeControl(const res::ControlTemplate& c, const QRect& rect, int lineHeight, QDialog* dlg)
{
    const QString caption = ToQString(ToCString(c.caption));
    switch (c.kind) {
    case res::ControlKind::GroupBox: return new QGroupBox(caption, dlg);
    case res::ControlKind::Label: return MakeLabel(caption, dlg);
    case res::ControlKind::ComboBox: return MakeComboBox(rect, dlg);
    case res::ControlKind::Edit: return MakeEdit(c, rect, lineHeight, dlg);
    case res::ControlKind::PushButton: return MakePushButton(caption, dlg);
    case res::ControlKind::IpAddress: return new IpAddressWidget(dlg);  // its template text is not shown
    }
    return nullptr;
}

// The template's rectangle (a combo box placed itself), its tab stop and
// an object name tests find it by.
void PlaceControl(QWidget* w, const res::ControlTemplate& c, const QRect& rect)
{
    if (c.kind != res::ControlKind::ComboBox)
        w->setGeometry(rect);
    if (!Has(c.style, res::style::kTabStop) && w->focusPolicy() != Qt::NoFocus)
        w->setFocusPolicy(Qt::ClickFocus);
    w->setObjectName(QStringLiteral("IDC_%1").arg(c.id));
}

// A label naming a field (the template's labelFor) gives the field its
// accessible name and becomes its buddy.
void NameLabelledFields(const std::vector<CreatedControl>& created, const CDialog& dlg)
{
    for (const CreatedControl& naming : created) {
        if (naming.control->labelFor == 0)
            continue;
        const CWnd* item = dlg.GetDlgItem(naming.control->labelFor);
        if (!item)
            continue;
        QWidget* named = NativeWidget(*item);
        const QString name = ControlText(naming.widget);
        if (auto* ip = qobject_cast<IpAddressWidget*>(named))
            ip->setAccessibleNameAll(name);
        else
            named->setAccessibleName(name);
        if (auto* label = qobject_cast<QLabel*>(naming.widget))
            label->setBuddy(named);
    }
}

// Connects `signal` of `w` to `handler` when `w` is a W (the handler is
// taken only then); otherwise an invalid connection.
template <class W, class Signal>
QMetaObject::Connection ConnectIf(QWidget* w, Signal signal, QDialog* context, std::function<void()>& handler)
{
    auto* sender = qobject_cast<W*>(w);
    return sender ? QObject::connect(sender, signal, context, std::move(handler)) : QMetaObject::Connection();
}

}  // namespace

QDialog* NativeDialog(const CDialog& dlg) { return dlg.DlgImpl().window; }

CDialog* DialogOf(const QWidget* w)
{
    const auto* window = dynamic_cast<const DialogWindow*>(w);
    return window ? &window->Impl().owner : nullptr;
}

// ---- data exchange ----

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.IsAttached())
        return;
    const DialogImpl& impl = pDX->m_pDlgWnd->DlgImpl();
    QWidget* w = impl.ItemWidget(nIDC);
    const res::ControlTemplate* entry = impl.ControlEntry(nIDC);
    if (!entry || !rControl.AcceptsKind(entry->kind)) {
        qFatal("Control %d of dialog %d is not of the member's kind", nIDC, pDX->m_pDlgWnd->GetTemplateID());
    }
    rControl.Impl().widget = w;
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    QWidget* w = pDX->m_pDlgWnd->DlgImpl().ItemWidget(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = FromQString(ControlText(w));
    } else {
        const QString text = ToQString(value);
        if (ControlText(w) != text)
            SetControlText(w, text);
    }
}

// ---- the window ----

void DialogWindow::reject() { m_impl.OnCancel(); }

void DialogWindow::accept() { m_impl.OnOK(); }

void DialogWindow::keyPressEvent(QKeyEvent* event)
{
    const bool plain = event->modifiers() == Qt::NoModifier
                       || (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // A focused push button takes Enter as a click; anywhere else it is OK.
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button && button->isEnabled())
            button->click();
        else if (!button)
            m_impl.OnOK();
        return;
    }
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        if (CWinApp* app = AfxGetApp())
            app->OnHelpRequest(m_impl.owner.GetHelpContext());
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- DialogImpl ----

DialogImpl::DialogImpl(CDialog& dlg, QWidget* parent) : owner(dlg), window(new DialogWindow(*this, parent)) {}

DialogImpl::~DialogImpl()
{
    // The derived dialog is gone: no handler may run while the window hides
    // and destroys the controls.
    for (const QMetaObject::Connection& c : handlers)
        QObject::disconnect(c);
    delete window.data();  // already gone when a parent window took it along
}

QWidget* DialogImpl::ItemWidget(int nIDC) const
{
    const CWnd* item = Handle(nIDC);
    QWidget* w = item ? NativeWidget(*item) : nullptr;
    if (!w)
        qFatal("Dialog %d has no control %d", owner.GetTemplateID(), nIDC);
    return w;
}

bool DialogImpl::Prepare()
{
    if (prepared)
        return true;
    if (!BuildFromTemplate())
        return false;
    prepared = true;
    owner.DeclareMessageMap();
    if (owner.OnInitDialog())
        FocusFirstTabStop();
    if (Has(pTemplate->style, res::dlgstyle::kCenter))
        CenterWindow();
    return true;
}

bool DialogImpl::BuildFromTemplate()
{
    pTemplate = res::FindDialogTemplate(owner.GetTemplateID());
    if (!pTemplate)
        return false;
    SetWindowFrame(window, *pTemplate);
    UseTemplateFont(*pTemplate);
    const std::vector<CreatedControl> created = MakeControls(*pTemplate);
    LimitStaticTexts(created, units->X(kStaticTextRoomDu));
    NameLabelledFields(created, owner);
    return true;
}

void DialogImpl::UseTemplateFont(const res::DialogTemplate& t)
{
    const QFont font = DialogFont(t.fontFace, t.fontPoints);
    window->setFont(font);
    units.emplace(font);
    window->setFixedSize(units->X(t.cx), units->Y(t.cy));
}

std::vector<CreatedControl> DialogImpl::MakeControls(const res::DialogTemplate& t)
{
    std::vector<CreatedControl> created;
    // Children are created in template order: that is the tab order and the
    // order assistive technology walks. Group boxes are siblings, not parents.
    for (const res::ControlTemplate& c : t.controls) {
        const QRect rect = units->MapDialogRect(c.rect);
        QWidget* w = MakeControl(c, rect, units->BaseY(), window);
        PlaceControl(w, c, rect);
        if (c.id != IDC_STATIC) {
            auto handle = std::make_unique<CWnd>();
            handle->Impl().widget = w;
            items[c.id] = std::move(handle);
        }
        created.push_back({&c, w});
    }
    return created;
}

void DialogImpl::FocusFirstTabStop()
{
    for (const res::ControlTemplate& c : pTemplate->controls) {
        if (!Has(c.style, res::style::kTabStop) || c.id == IDC_STATIC)
            continue;
        QWidget* w = ItemWidget(c.id);
        if (w->isEnabled()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void DialogImpl::CenterWindow()
{
    const QWidget* parent = window->parentWidget();
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect avail = screen->availableGeometry();
    const QRect area = parent ? parent->frameGeometry() : avail;
    // The window frame is not known before the first show; centring the
    // client area centres the framed window too.
    QRect client(QPoint(), window->size());
    client.moveCenter(area.center());
    // Never above or left of the work area: the caption stays reachable.
    client.moveLeft(std::max(client.left(), avail.left()));
    client.moveTop(std::max(client.top(), avail.top()));
    window->setGeometry(client);
}

// ---- CDialog ----

CDialog::CDialog(int nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate),
      m_pDlgImpl(std::make_unique<DialogImpl>(*this, pParentWnd ? NativeWidget(*pParentWnd) : nullptr))
{
    Impl().widget = m_pDlgImpl->window.data();
}

CDialog::~CDialog() = default;

int CDialog::DoModal()
{
    if (!m_pDlgImpl->Prepare())
        return -1;
    return m_pDlgImpl->window->exec();
}

BOOL CDialog::Create()
{
    if (!m_pDlgImpl->Prepare())
        return FALSE;
    m_pDlgImpl->window->show();
    return TRUE;
}

void CDialog::ExecuteDlgInit()
{
    for (const res::ComboInitData& data : m_pDlgImpl->pTemplate->comboData) {
        auto* combo = qobject_cast<ComboBoxWidget*>(m_pDlgImpl->ItemWidget(data.id));
        if (!combo)
            qFatal("Dialog %d: initial items for control %d, which is no combo box", m_nIDTemplate, data.id);
        for (std::string_view item : data.items)
            combo->appendItem(ToQString(ToCString(item)));
    }
}

CWnd* CDialog::GetDlgItem(int nID) const { return m_pDlgImpl->Handle(nID); }

int CDialog::MessageBox(const CString& text, const CString& caption, UINT nType)
{
    return ShowMessageBox(m_pDlgImpl->window, ToQString(text),
                          ToQString(caption.IsEmpty() ? AfxGetAppName() : caption), nType);
}

void CDialog::EndDialog(int nResult) { m_pDlgImpl->window->done(nResult); }

CRect CDialog::MapDialogRect(const res::DlgRect& r) const
{
    if (!m_pDlgImpl->units)
        return CRect();
    const QRect q = m_pDlgImpl->units->MapDialogRect(r);
    return CRect{q.left(), q.top(), q.left() + q.width(), q.top() + q.height()};
}

void CDialog::Map(int nID, Notification code, std::function<void()> handler)
{
    QWidget* w = m_pDlgImpl->ItemWidget(nID);
    QDialog* dlg = m_pDlgImpl->window;
    QMetaObject::Connection c;  // stays invalid when the control has no such signal
    switch (code) {
    case Notification::Clicked:
        c = ConnectIf<QAbstractButton>(w, &QAbstractButton::clicked, dlg, handler);
        break;
    case Notification::SelChange:
        c = ConnectIf<ComboBoxWidget>(w, &ComboBoxWidget::selectionChanged, dlg, handler);
        break;
    case Notification::EditChange:
        c = ConnectIf<ComboBoxWidget>(w, &ComboBoxWidget::editTextChanged, dlg, handler);
        break;
    case Notification::Change:
        // Any change of the text, the program's own included.
        c = ConnectIf<QLineEdit>(w, &QLineEdit::textChanged, dlg, handler);
        if (!c)
            c = ConnectIf<MultiLineEdit>(w, &QPlainTextEdit::textChanged, dlg, handler);
        break;
    }
    if (!c)
        qFatal("Dialog %d: control %d sends no such notification", m_nIDTemplate, nID);
    m_pDlgImpl->handlers.push_back(c);
}

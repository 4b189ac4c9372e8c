#include "framework/Dialog.h"

#include "framework/WinApp.h"
#include "framework/qt/Widgets.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace {

bool Has(std::uint32_t style, std::uint32_t flag) { return (style & flag) != 0; }

QWidget* ItemWidget(const CDialog* dlg, int nIDC)
{
    const CWnd* item = dlg->GetDlgItem(nIDC);
    QWidget* w = item ? item->GetWidget() : nullptr;
    if (!w) {
        qFatal("Dialog %d has no control %d", dlg->GetTemplateID(), nIDC);
    }
    return w;
}

} // namespace

// ---- data exchange ----

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.IsAttached())
        return;
    if (!rControl.Attach(ItemWidget(pDX->m_pDlgWnd, nIDC), nIDC)) {
        qFatal("Control %d of dialog %d is not of the member's kind", nIDC,
               pDX->m_pDlgWnd->GetTemplateID());
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    QWidget* w = ItemWidget(pDX->m_pDlgWnd, nIDC);
    if (pDX->m_bSaveAndValidate)
        value = ControlText(w);
    else if (ControlText(w) != value)
        SetControlText(w, value);
}

// ---- CDialog ----

CDialog::CDialog(int nIDTemplate, QWidget* pParentWnd)
    : QDialog(pParentWnd), m_nIDTemplate(nIDTemplate)
{
}

CDialog::~CDialog()
{
    // The derived dialog is gone: no handler may run while QDialog hides
    // and destroys the controls.
    for (const QMetaObject::Connection& c : m_handlers)
        disconnect(c);
}

int CDialog::DoModal()
{
    if (!Prepare())
        return -1;
    return exec();
}

BOOL CDialog::Create()
{
    if (!Prepare())
        return FALSE;
    show();
    return TRUE;
}

bool CDialog::Prepare()
{
    if (m_bPrepared)
        return true;
    if (!BuildFromTemplate())
        return false;
    m_bPrepared = true;
    DeclareMessageMap();
    if (OnInitDialog())
        FocusFirstTabStop();
    if (Has(m_pTemplate->style, res::dlgstyle::kCenter))
        CenterWindow();
    return true;
}

bool CDialog::BuildFromTemplate()
{
    m_pTemplate = res::FindDialogTemplate(m_nIDTemplate);
    if (!m_pTemplate)
        return false;
    const res::DialogTemplate& t = *m_pTemplate;

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if (Has(t.style, res::dlgstyle::kCaption))
        flags |= Qt::WindowTitleHint;
    if (Has(t.style, res::dlgstyle::kSysMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (Has(t.style, res::dlgstyle::kMinimizeBox))
        flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(ToCString(t.caption));

    const QFont font = DialogFont(t.fontFace, t.fontPoints);
    setFont(font);
    m_units.emplace(font);
    setFixedSize(m_units->X(t.cx), m_units->Y(t.cy));

    using res::ControlKind;
    namespace st = res::style;
    std::vector<std::pair<QWidget*, int>> labels;  // naming widget, named id
    // Children are created in template order: that is the tab order and the
    // order assistive technology walks. Group boxes are siblings, not parents.
    for (const res::ControlTemplate& c : t.controls) {
        const QString caption = ToCString(c.caption);
        const QRect rect = m_units->MapDialogRect(c.rect);
        QWidget* w = nullptr;
        switch (c.kind) {
        case ControlKind::GroupBox:
            w = new QGroupBox(caption, this);
            break;
        case ControlKind::Label: {
            auto* label = new QLabel(caption, this);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            w = label;
            break;
        }
        case ControlKind::ComboBox: {
            auto* combo = new ComboBoxWidget(this);
            // The template's height is the opened list's; the field keeps
            // its natural height.
            const int fieldHeight = std::min(combo->sizeHint().height(), rect.height());
            const int rowHeight = combo->fontMetrics().height();
            combo->setMaxVisibleItems(std::max(1, (rect.height() - fieldHeight) / rowHeight));
            combo->setGeometry(rect.x(), rect.y(), rect.width(), fieldHeight);
            w = combo;
            break;
        }
        case ControlKind::Edit:
            if (Has(c.style, st::kMultiLine)) {
                auto* edit = new MultiLineEdit(this);
                edit->setReadOnly(Has(c.style, st::kReadOnly));
                edit->setVerticalScrollBarPolicy(Has(c.style, st::kVScroll) ? Qt::ScrollBarAlwaysOn
                                                                            : Qt::ScrollBarAlwaysOff);
                w = edit;
            } else {
                auto* edit = new QLineEdit(this);
                edit->setReadOnly(Has(c.style, st::kReadOnly));
                // One line in a box drawn taller than two lines sits at its
                // top, as on the original platform.
                if (rect.height() > 2 * m_units->BaseY())
                    edit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                w = edit;
            }
            break;
        case ControlKind::PushButton: {
            auto* button = new QPushButton(caption, this);
            button->setAutoDefault(false);
            button->setDefault(false);
            w = button;
            break;
        }
        case ControlKind::IpAddress:
            w = new IpAddressWidget(this);  // its template text is not shown
            break;
        }
        if (c.kind != ControlKind::ComboBox)
            w->setGeometry(rect);
        if (!Has(c.style, st::kTabStop) && w->focusPolicy() != Qt::NoFocus)
            w->setFocusPolicy(Qt::ClickFocus);
        w->setObjectName(QStringLiteral("IDC_%1").arg(c.id));
        if (c.id != IDC_STATIC) {
            auto handle = std::make_unique<CWnd>();
            handle->Attach(w, c.id);
            m_items[c.id] = std::move(handle);
        }
        if (c.labelFor != 0)
            labels.emplace_back(w, c.labelFor);
    }

    for (const auto& [naming, id] : labels) {
        const CWnd* item = GetDlgItem(id);
        if (!item)
            continue;
        QWidget* named = item->GetWidget();
        const QString name = ControlText(naming);
        if (auto* ip = qobject_cast<IpAddressWidget*>(named))
            ip->setAccessibleNameAll(name);
        else
            named->setAccessibleName(name);
        if (auto* label = qobject_cast<QLabel*>(naming))
            label->setBuddy(named);
    }
    return true;
}

void CDialog::ExecuteDlgInit()
{
    for (const res::ComboInitData& data : m_pTemplate->comboData) {
        auto* combo = qobject_cast<ComboBoxWidget*>(ItemWidget(this, data.id));
        if (!combo)
            qFatal("Dialog %d: initial items for control %d, which is no combo box", m_nIDTemplate, data.id);
        for (std::string_view item : data.items)
            combo->appendItem(ToCString(item));
    }
}

BOOL CDialog::OnInitDialog()
{
    ExecuteDlgInit();
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;  // no member has a validation rule
}

CWnd* CDialog::GetDlgItem(int nID) const
{
    const auto it = m_items.find(nID);
    return it == m_items.end() ? nullptr : it->second.get();
}

int CDialog::MessageBox(const CString& text, const CString& caption, UINT nType)
{
    return ShowMessageBox(this, text, caption.isNull() ? AfxGetAppName() : caption, nType);
}

void CDialog::EndDialog(int nResult) { done(nResult); }

QRect CDialog::MapDialogRect(const res::DlgRect& r) const
{
    return m_units ? m_units->MapDialogRect(r) : QRect();
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::reject() { OnCancel(); }

void CDialog::accept() { OnOK(); }

void CDialog::keyPressEvent(QKeyEvent* event)
{
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // A focused push button takes Enter as a click; anywhere else it is OK.
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button && button->isEnabled())
            button->click();
        else if (!button)
            OnOK();
        return;
    }
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        if (CWinApp* app = AfxGetApp())
            app->OnHelpRequest(GetHelpContext());
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDialog::Map(int nID, Notification code, std::function<void()> handler)
{
    QWidget* w = ItemWidget(this, nID);
    QMetaObject::Connection c;  // stays invalid when the control has no such signal
    switch (code) {
    case Notification::Clicked:
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            c = connect(button, &QAbstractButton::clicked, this, std::move(handler));
        break;
    case Notification::SelChange:
        if (auto* combo = qobject_cast<ComboBoxWidget*>(w))
            c = connect(combo, &ComboBoxWidget::selectionChanged, this, std::move(handler));
        break;
    case Notification::EditChange:
        if (auto* combo = qobject_cast<ComboBoxWidget*>(w))
            c = connect(combo, &ComboBoxWidget::editTextChanged, this, std::move(handler));
        break;
    case Notification::Change:
        // Any change of the text, the program's own included.
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            c = connect(edit, &QLineEdit::textChanged, this, std::move(handler));
        else if (auto* multi = qobject_cast<MultiLineEdit*>(w))
            c = connect(multi, &QPlainTextEdit::textChanged, this, std::move(handler));
        break;
    }
    if (!c)
        qFatal("Dialog %d: control %d sends no such notification", m_nIDTemplate, nID);
    m_handlers.push_back(c);
}

void CDialog::FocusFirstTabStop()
{
    for (const res::ControlTemplate& c : m_pTemplate->controls) {
        if (!Has(c.style, res::style::kTabStop) || c.id == IDC_STATIC)
            continue;
        QWidget* w = GetDlgItem(c.id)->GetWidget();
        if (w->isEnabled()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void CDialog::CenterWindow()
{
    const QWidget* parent = parentWidget();
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect avail = screen->availableGeometry();
    const QRect area = parent ? parent->frameGeometry() : avail;
    // The window frame is not known before the first show; centring the
    // client area centres the framed window too.
    QRect client(QPoint(), size());
    client.moveCenter(area.center());
    // Never above or left of the work area: the caption stays reachable.
    client.moveLeft(std::max(client.left(), avail.left()));
    client.moveTop(std::max(client.top(), avail.top()));
    setGeometry(client);
}

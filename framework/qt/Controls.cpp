// The control handles on Qt widgets.
#include "framework/Controls.h"

#include "framework/qt/Impl.h"
#include "framework/qt/Native.h"
#include "framework/qt/Widgets.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>

QWidget* NativeWidget(const CWnd& wnd) { return wnd.Impl().widget; }

CWnd::CWnd() : m_pImpl(std::make_unique<WndImpl>()) {}

CWnd::~CWnd() = default;

bool CWnd::IsAttached() const { return m_pImpl->widget != nullptr; }

void CWnd::SetWindowText(const CString& text)
{
    if (QWidget* w = m_pImpl->widget)
        SetControlText(w, ToQString(text));
}

CString CWnd::GetWindowText() const
{
    const QWidget* w = m_pImpl->widget;
    return w ? FromQString(ControlText(w)) : CString();
}

void CWnd::SetFocus()
{
    if (QWidget* w = m_pImpl->widget)
        w->setFocus(Qt::OtherFocusReason);
}

namespace {

ComboBoxWidget* Combo(const CComboBox& cb) { return qobject_cast<ComboBoxWidget*>(NativeWidget(cb)); }

IpAddressWidget* Ip(const CIPAddressCtrl& ip) { return qobject_cast<IpAddressWidget*>(NativeWidget(ip)); }

}  // namespace

// ---- CComboBox ----

int CComboBox::AddString(const CString& text)
{
    ComboBoxWidget* combo = Combo(*this);
    if (!combo)
        return CB_ERR;
    return combo->appendItem(ToQString(text));
}

int CComboBox::GetCount() const
{
    const ComboBoxWidget* combo = Combo(*this);
    return combo ? combo->count() : CB_ERR;
}

int CComboBox::GetCurSel() const
{
    const ComboBoxWidget* combo = Combo(*this);
    return combo ? combo->currentSelection() : CB_ERR;
}

int CComboBox::SetCurSel(int nSelect)
{
    ComboBoxWidget* combo = Combo(*this);
    if (!combo || !combo->selectItem(nSelect))
        return CB_ERR;
    return nSelect;
}

void CComboBox::GetLBText(int nIndex, CString& text) const
{
    const ComboBoxWidget* combo = Combo(*this);
    text = combo && nIndex >= 0 && nIndex < combo->count() ? FromQString(combo->itemText(nIndex)) : CString();
}

void CComboBox::ResetContent()
{
    if (ComboBoxWidget* combo = Combo(*this))
        combo->clearItems();
}

int CComboBox::SetItemHeight(int /*nIndex*/, UINT cyItemHeight)
{
    ComboBoxWidget* combo = Combo(*this);
    if (!combo || cyItemHeight == 0)
        return CB_ERR;
    combo->setListItemHeight(static_cast<int>(cyItemHeight));
    return 0;
}

int CComboBox::GetItemHeight(int /*nIndex*/) const
{
    const ComboBoxWidget* combo = Combo(*this);
    if (!combo)
        return CB_ERR;
    if (combo->listItemHeight() > 0)
        return combo->listItemHeight();
    return combo->view()->sizeHintForRow(0);
}

// ---- CIPAddressCtrl ----

BOOL CIPAddressCtrl::IsBlank() const
{
    const IpAddressWidget* ip = Ip(*this);
    return !ip || ip->isBlank() ? TRUE : FALSE;
}

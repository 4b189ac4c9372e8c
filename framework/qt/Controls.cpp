#include "framework/Controls.h"

#include "framework/qt/Widgets.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>

void CWnd::SetWindowText(const CString& text)
{
    if (m_pWidget)
        SetControlText(m_pWidget, text);
}

CString CWnd::GetWindowText() const
{
    return m_pWidget ? ControlText(m_pWidget) : CString();
}

BOOL CWnd::EnableWindow(BOOL bEnable)
{
    if (!m_pWidget)
        return FALSE;
    const BOOL wasDisabled = m_pWidget->isEnabled() ? FALSE : TRUE;
    m_pWidget->setEnabled(bEnable != FALSE);
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const
{
    return m_pWidget && m_pWidget->isEnabled() ? TRUE : FALSE;
}

void CWnd::SetFocus()
{
    if (m_pWidget)
        m_pWidget->setFocus(Qt::OtherFocusReason);
}

bool CWnd::Attach(QWidget* widget, int nID)
{
    if (m_pWidget)
        return m_pWidget == widget;
    if (!widget || !AcceptsWidget(widget))
        return false;
    m_pWidget = widget;
    m_nID = nID;
    return true;
}

bool CWnd::AcceptsWidget(const QWidget*) const { return true; }

bool CStatic::AcceptsWidget(const QWidget* widget) const
{
    return qobject_cast<const QLabel*>(widget) != nullptr;
}

bool CButton::AcceptsWidget(const QWidget* widget) const
{
    return qobject_cast<const QAbstractButton*>(widget) != nullptr;
}

bool CEdit::AcceptsWidget(const QWidget* widget) const
{
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const MultiLineEdit*>(widget) != nullptr;
}

// ---- CComboBox ----

bool CComboBox::AcceptsWidget(const QWidget* widget) const
{
    return qobject_cast<const ComboBoxWidget*>(widget) != nullptr;
}

ComboBoxWidget* CComboBox::Combo() const
{
    return qobject_cast<ComboBoxWidget*>(m_pWidget.data());
}

int CComboBox::AddString(const CString& text)
{
    ComboBoxWidget* combo = Combo();
    if (!combo)
        return CB_ERR;
    return combo->appendItem(text);
}

int CComboBox::GetCount() const
{
    const ComboBoxWidget* combo = Combo();
    return combo ? combo->count() : CB_ERR;
}

int CComboBox::GetCurSel() const
{
    const ComboBoxWidget* combo = Combo();
    return combo ? combo->currentSelection() : CB_ERR;
}

int CComboBox::SetCurSel(int nSelect)
{
    ComboBoxWidget* combo = Combo();
    if (!combo || !combo->selectItem(nSelect))
        return CB_ERR;
    return nSelect;
}

void CComboBox::GetLBText(int nIndex, CString& text) const
{
    const ComboBoxWidget* combo = Combo();
    text = combo && nIndex >= 0 && nIndex < combo->count() ? combo->itemText(nIndex) : CString();
}

int CComboBox::GetLBTextLen(int nIndex) const
{
    const ComboBoxWidget* combo = Combo();
    if (!combo || nIndex < 0 || nIndex >= combo->count())
        return CB_ERR;
    return static_cast<int>(combo->itemText(nIndex).size());
}

void CComboBox::ResetContent()
{
    if (ComboBoxWidget* combo = Combo())
        combo->clearItems();
}

int CComboBox::SetItemHeight(int /*nIndex*/, UINT cyItemHeight)
{
    ComboBoxWidget* combo = Combo();
    if (!combo || cyItemHeight == 0)
        return CB_ERR;
    combo->setListItemHeight(static_cast<int>(cyItemHeight));
    return 0;
}

int CComboBox::GetItemHeight(int /*nIndex*/) const
{
    const ComboBoxWidget* combo = Combo();
    if (!combo)
        return CB_ERR;
    if (combo->listItemHeight() > 0)
        return combo->listItemHeight();
    return combo->view()->sizeHintForRow(0);
}

// ---- CIPAddressCtrl ----

bool CIPAddressCtrl::AcceptsWidget(const QWidget* widget) const
{
    return qobject_cast<const IpAddressWidget*>(widget) != nullptr;
}

IpAddressWidget* CIPAddressCtrl::Ip() const
{
    return qobject_cast<IpAddressWidget*>(m_pWidget.data());
}

BOOL CIPAddressCtrl::IsBlank() const
{
    const IpAddressWidget* ip = Ip();
    return !ip || ip->isBlank() ? TRUE : FALSE;
}

void CIPAddressCtrl::ClearAddress()
{
    if (IpAddressWidget* ip = Ip())
        ip->setText(QString());
}

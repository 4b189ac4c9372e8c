// The parts of the dialogs that are the same on every realisation.
#include "framework/Dialog.h"

#include "framework/DialogControls.h"

const res::ControlTemplate* DialogControls::ControlEntry(int nIDC) const
{
    if (!pTemplate)
        return nullptr;
    for (const res::ControlTemplate& c : pTemplate->controls) {
        if (c.id == nIDC)
            return &c;
    }
    return nullptr;
}

CWnd* DialogControls::Handle(int nIDC) const
{
    const auto it = items.find(nIDC);
    return it == items.end() ? nullptr : it->second.get();
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

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

// What a dialog keeps of its template, the same in every realisation: the
// template and a handle for each of its controls that has an id. Private to
// the framework; each realisation's DialogImpl builds on it.
#pragma once

#include "framework/Controls.h"
#include "res/DialogTemplates.h"

#include <map>
#include <memory>

struct DialogControls {
    // The template entry of control nIDC, or nullptr (also before the
    // template is found).
    const res::ControlTemplate* ControlEntry(int nIDC) const;
    // The handle of control nIDC, or nullptr (the template's unnamed
    // IDC_STATIC controls have none).
    CWnd* Handle(int nIDC) const;

    const res::DialogTemplate* pTemplate = nullptr;
    std::map<int, std::unique_ptr<CWnd>> items;
};

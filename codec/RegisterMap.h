// The module's register codes as the console lists them, with their names.
// Display data only: the operator may type any code.
#pragma once

#include <span>
#include <string_view>

struct RegisterEntry {
    std::string_view code;  // two upper-case hexadecimal digits, "01" .. "10"
    int reg;                // the code read as hexadecimal
    std::string_view name;  // label text, UTF-8
};

// Registers written with function 06, in list order.
std::span<const RegisterEntry> WriteRegisterTable();
// Registers read with function 03, in list order.
std::span<const RegisterEntry> ReadRegisterTable();

// Name of the entry whose code equals `code` exactly (whole text, case-
// sensitive), or nullptr when none does.
const std::string_view* LookupRegisterName(std::span<const RegisterEntry> table, std::string_view code);

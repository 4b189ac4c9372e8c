// Sets a process-wide test hook (the console's port-list source, the help
// viewer) for one scope; the destructor puts the default back, also when a
// failed assertion leaves the test early, so later tests never inherit it.
//
//   testsupport::ScopedHook ports(&CDlgModbus::SetPortCandidates, &NoPorts);
//   testsupport::ScopedHook help(&CWinApp::SetHelpViewer, [&](const QUrl& url) { ... });
#pragma once

#include <type_traits>
#include <utility>

namespace testsupport {

template <class Hook>
class ScopedHook {
public:
    using Setter = void (*)(Hook);
    ScopedHook(Setter set, std::type_identity_t<Hook> hook) : m_set(set) { m_set(std::move(hook)); }
    ~ScopedHook() { m_set(Hook{}); }
    ScopedHook(const ScopedHook&) = delete;
    ScopedHook& operator=(const ScopedHook&) = delete;

private:
    Setter m_set;
};

}  // namespace testsupport

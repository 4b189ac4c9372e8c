// A fresh folder of the test's own under the temporary directory, removed
// with everything in it when the test ends. POSIX only.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class ScratchFolder {
public:
    // `stem`: the start of the folder's name; Path() is empty when none could be made.
    explicit ScratchFolder(const std::string& stem)
    {
        std::string pattern = std::filesystem::temp_directory_path() / (stem + "-XXXXXX");
        if (mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

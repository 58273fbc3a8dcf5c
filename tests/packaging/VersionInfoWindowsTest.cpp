// Both programs carry the version resource that Explorer's Properties and
// inventory tools read, with the one project version and the texts of the
// version box.

#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ProgramVersion.h"
#include "startup/ExecutablePath.h"
#include "startup/Utf8Path.h"
#include "startup/WideText.h"

namespace mirvok {
namespace {

class VersionResource {
public:
    explicit VersionResource(const std::wstring& program) {
        const DWORD size = GetFileVersionInfoSizeW(program.c_str(), nullptr);
        if (size == 0) return;
        data_.resize(size);
        if (!GetFileVersionInfoW(program.c_str(), 0, size, data_.data())) data_.clear();
    }

    bool Present() const { return !data_.empty(); }

    const VS_FIXEDFILEINFO* Fixed() const {
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(data_.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(value);
    }

    // A text of the Japanese (0411) Unicode (04B0) table, as UTF-8.
    std::string Text(const std::wstring& name) const {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring key = L"\\StringFileInfo\\041104B0\\" + name;
        if (!VerQueryValueW(data_.data(), key.c_str(), &value, &length) || length == 0) return "<missing>";
        return Utf8(static_cast<const wchar_t*>(value));
    }

private:
    std::vector<unsigned char> data_;
};

TEST(VersionInfo, BothProgramsCarryTheProjectVersionAndTheirTexts) {
    const struct {
        const char* file;
        const char* description;
    } programs[] = {
        {MIRVOK_WINDOW_EXE, kFileDescription},
        {MIRVOK_CLI_EXE, "Mirvok command line: the ROM download window's operations"},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE(program.file);
        const std::filesystem::path path = PathFromUtf8(ExecutableFolder()) / program.file;
        const VersionResource resource(path.wstring());
        ASSERT_TRUE(resource.Present());
        const VS_FIXEDFILEINFO* fixed = resource.Fixed();
        ASSERT_NE(fixed, nullptr);
        const DWORD high = MAKELONG(kVersionMinor, kVersionMajor);
        const DWORD low = MAKELONG(0, kVersionRevision);
        EXPECT_EQ(fixed->dwFileVersionMS, high);
        EXPECT_EQ(fixed->dwFileVersionLS, low);
        EXPECT_EQ(fixed->dwProductVersionMS, high);
        EXPECT_EQ(fixed->dwProductVersionLS, low);
        EXPECT_EQ(resource.Text(L"FileVersion"), kVersionText);
        EXPECT_EQ(resource.Text(L"ProductVersion"), kVersionText);
        EXPECT_EQ(resource.Text(L"ProductName"), "Mirvok");
        EXPECT_EQ(resource.Text(L"FileDescription"), program.description);
        EXPECT_EQ(resource.Text(L"LegalCopyright"), kCopyright);
        EXPECT_EQ(resource.Text(L"OriginalFilename"), program.file);
    }
}

}  // namespace
}  // namespace mirvok

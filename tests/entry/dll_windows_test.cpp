// brelk.dll as Windows sees it: loaded and unloaded by the system's loader
// (no call in between, so nothing is fetched), its export found by name and
// by ordinal, its version resource read by the system's version API. The
// DLL lies beside this program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brelk {
namespace {

// DllPath(): brelk.dll in this program's directory.
std::wstring DllPath() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"brelk.dll";
}

TEST(BrelkDll, LoadsExportsOneFunctionAndUnloadsWithoutACall) {
  const std::wstring path = DllPath();
  HMODULE library = LoadLibraryW(path.c_str());
  ASSERT_NE(library, nullptr) << "error " << GetLastError();
  const FARPROC byName = GetProcAddress(library, "Analysis_1000eb");
  const FARPROC byOrdinal = GetProcAddress(library, MAKEINTRESOURCEA(1));
  EXPECT_NE(byName, nullptr);
  EXPECT_EQ(byName, byOrdinal);
  EXPECT_EQ(GetProcAddress(library, MAKEINTRESOURCEA(2)), nullptr);
  EXPECT_TRUE(FreeLibrary(library));
  // Really gone: nothing inside the library kept it loaded.
  EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
  // And it loads again after that.
  library = LoadLibraryW(path.c_str());
  ASSERT_NE(library, nullptr);
  EXPECT_TRUE(FreeLibrary(library));
}

// StringValue(): a value of the version resource's string table 080404B0.
std::wstring StringValue(std::vector<char>& info, const wchar_t* key) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\080404B0\\") + key;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0) return L"";
  return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(BrelkDll, CarriesItsVersionResource) {
  const std::wstring path = DllPath();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  ASSERT_GT(size, 0u) << "error " << GetLastError();
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);  // one language and code-page pair
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 0x04B0);

  EXPECT_EQ(StringValue(info, L"FileVersion"), L"1.0.0.0");
  EXPECT_EQ(StringValue(info, L"ProductVersion"), L"1.0.0.0");
  for (const wchar_t* key : {L"FileDescription", L"ProductName", L"CompanyName", L"Comments",
                             L"LegalCopyright"}) {
    EXPECT_NE(StringValue(info, key), L"") << "no " << std::string(key, key + wcslen(key));
  }
}

}  // namespace
}  // namespace brelk

// The DLL as Windows loads it: DllMain is exported by name and accepts every
// notification, so the loader can load the library again, threads can start
// and end while it is loaded, and the loaded image is the one whose exports
// the caller's import table resolved to.
#include <gtest/gtest.h>

#include <thread>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "Util_StringLoader.h"

namespace {

using EntryPoint = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

TEST(DllEntryTest, DllMainAcceptsEveryNotificationAndTheLibraryLoadsAgainAndSurvivesThreads) {
    const HMODULE loaded = LoadLibraryW(UL_LIBRARY_FILE);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded, GetModuleHandleW(UL_LIBRARY_FILE));
    const auto entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(loaded, "DllMain")));
    ASSERT_NE(entry, nullptr);
    for (const DWORD reason : {DLL_PROCESS_ATTACH, DLL_THREAD_ATTACH, DLL_THREAD_DETACH}) {
        EXPECT_EQ(entry(loaded, reason, nullptr), TRUE) << reason;
    }
    // The exported constant the import table reached lies inside that image.
    const auto* constant = reinterpret_cast<const void*>(GetProcAddress(loaded, "_ZN17CUtilStringLoader10LANG_ID_ENE"));
    EXPECT_EQ(constant, static_cast<const void*>(&CUtilStringLoader::LANG_ID_EN));
    std::thread worker([] { EXPECT_EQ(CUtilLocaleLCIDConverter().LocaleToLangID(L"pt_br"), 0x0416u); });
    worker.join();
    EXPECT_TRUE(FreeLibrary(loaded));
    EXPECT_NE(GetModuleHandleW(UL_LIBRARY_FILE), nullptr); // still held by the import
}

} // namespace

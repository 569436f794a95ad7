// The default dialogs of the Win32 seam: a helper thread answers them the way a user would, by
// clicking a button of the dialog that the call under test shows.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "zip/os/os.h"
#include "zip/ziparchiver.h"

namespace tarnwick {
namespace {

struct Finder {
    HWND found = nullptr;
};

struct Search {
    const char* caption;
    HWND found = nullptr;
};

BOOL CALLBACK findByCaption(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char caption[128] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && lstrcmpA(caption, search->caption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findConfirm(HWND window, LPARAM parameter) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && lstrcmpA(caption, "Confirm") == 0) {
        reinterpret_cast<Finder*>(parameter)->found = window;
        return FALSE;
    }
    return TRUE;
}

// Clicks button `id` of the first visible "Confirm" window of this process, within ten seconds.
std::thread clickWhenShown(int id, std::atomic<bool>& clicked) {
    return std::thread([id, &clicked] {
        for (int i = 0; i < 500 && !clicked; ++i) {
            Finder finder;
            EnumWindows(findConfirm, reinterpret_cast<LPARAM>(&finder));
            if (finder.found != nullptr) {
                if (HWND button = GetDlgItem(finder.found, id)) {
                    PostMessageA(button, BM_CLICK, 0, 0);
                    clicked = true;
                    return;
                }
            }
            Sleep(20);
        }
    });
}

TEST(Win32Dialogs, OverwriteQuestionOffersFourAnswers) {
    const std::pair<int, zaos::DialogResult> cases[] = {{100, zaos::DialogResult::yes},
                                                        {101, zaos::DialogResult::no},
                                                        {102, zaos::DialogResult::noToAll},
                                                        {103, zaos::DialogResult::yesToAll}};
    for (const auto& [button, expected] : cases) {
        std::atomic<bool> clicked{false};
        std::thread clicker = clickWhenShown(button, clicked);
        const zaos::DialogResult answer =
            zaos::confirmBox("Overwrite file \"C:\\x.txt\" with \"x.txt\"", zaos::DialogButtons::yesNoAllNoAll);
        clicker.join();
        ASSERT_TRUE(clicked);
        EXPECT_EQ(answer, expected) << button;
    }
}

TEST(Win32Dialogs, FailureBoxMapsRetry) {
    std::atomic<bool> clicked{false};
    std::thread clicker = clickWhenShown(IDRETRY, clicked);
    const zaos::DialogResult answer = zaos::confirmBox("x. File processing error, possibly disk is full",
                                                       zaos::DialogButtons::abortRetryIgnore);
    clicker.join();
    ASSERT_TRUE(clicked);
    EXPECT_EQ(answer, zaos::DialogResult::retry);
}

TEST(Win32Dialogs, PasswordBoxGivesBackWhatWasTyped) {
    for (const bool ok : {true, false}) {
        std::thread typist([ok] {
            for (int i = 0; i < 500; ++i) {
                Search search{"Password for \"a.txt\""};
                EnumWindows(findByCaption, reinterpret_cast<LPARAM>(&search));
                if (search.found != nullptr) {
                    HWND edit = FindWindowExA(search.found, nullptr, "Edit", nullptr);
                    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("typed secret"));
                    PostMessageA(GetDlgItem(search.found, ok ? IDOK : IDCANCEL), BM_CLICK, 0, 0);
                    return;
                }
                Sleep(20);
            }
        });
        std::string value = "before";
        const bool answered = zaos::inputBox("Password for \"a.txt\"", "Enter password: ", value);
        typist.join();
        EXPECT_EQ(answered, ok);
        EXPECT_EQ(value, ok ? "typed secret" : "before");
    }
}

BOOL CALLBACK collectStaticText(HWND child, LPARAM parameter) {
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    char text[512] = {};
    GetWindowTextA(child, text, sizeof text);
    auto* longest = reinterpret_cast<std::string*>(parameter);
    if (lstrcmpiA(className, "Static") == 0 && std::strlen(text) > longest->size()) *longest = text;
    return TRUE;
}

// Answers the first "Confirm" box of this process with button id and keeps its text; gives up
// when stop is set or after ten seconds.
std::thread answerConfirm(int id, std::atomic<bool>& stop, std::atomic<bool>& answered, std::string& text) {
    return std::thread([id, &stop, &answered, &text] {
        for (int i = 0; i < 500 && !stop; ++i) {
            Finder finder;
            EnumWindows(findConfirm, reinterpret_cast<LPARAM>(&finder));
            if (finder.found != nullptr) {
                if (HWND button = GetDlgItem(finder.found, id)) {
                    EnumChildWindows(finder.found, collectStaticText, reinterpret_cast<LPARAM>(&text));
                    PostMessageA(button, BM_CLICK, 0, 0);
                    answered = true;
                    return;
                }
            }
            Sleep(20);
        }
    });
}

// Raises the disk-full event of an archiver with no handler, as a full volume does.
struct DiskFullProbe : TZipArchiver {
    explicit DiskFullProbe(TZASpanningMode mode) : TZipArchiver(nullptr) {
        SetSpanningMode(mode);
        SpanningOptions.VolumeSize = vsCustom;
        SpanningOptions.SetCustomVolumeSize(std::int64_t{1} << 40);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        FileName = std::string(temp) + "set.zip";
    }
    bool raise() {
        bool cancel = false;
        DoOnDiskFull(2, FileName, cancel);
        return cancel;
    }
};

TEST(Win32Dialogs, DiskFullBoxOfASpannedSetShowsTheNeededAndFreeSpaceAndCancelsUnlessOk) {
    for (const auto& [button, cancels] : {std::pair{IDOK, false}, std::pair{IDCANCEL, true}}) {
        DiskFullProbe probe(smSpanning);
        std::atomic<bool> stop{false}, answered{false};
        std::string text;
        std::thread clicker = answerConfirm(button, stop, answered, text);
        const bool cancel = probe.raise();
        clicker.join();
        ASSERT_TRUE(answered);
        EXPECT_EQ(cancel, cancels) << button;
        const std::string start = "Disk is full. Required free space: 1099511627776 bytes, but available only: ";
        const std::string end = " bytes. Clean the disk or find another blank disk";
        ASSERT_EQ(text.rfind(start, 0), 0u) << text;
        ASSERT_GT(text.size(), start.size() + end.size()) << text;
        EXPECT_EQ(text.substr(text.size() - end.size()), end) << text;
        const std::string free = text.substr(start.size(), text.size() - start.size() - end.size());
        EXPECT_EQ(free.find_first_not_of("0123456789"), std::string::npos) << text;
    }
}

TEST(Win32Dialogs, DiskFullOfASplitSetCancelsWithoutABox) {
    DiskFullProbe probe(smSplitting);
    std::atomic<bool> stop{false}, answered{false};
    std::string text;
    std::thread clicker = answerConfirm(IDOK, stop, answered, text);
    const bool cancel = probe.raise();
    Sleep(300);  // a box would have been found by now
    stop = true;
    clicker.join();
    EXPECT_TRUE(cancel);
    EXPECT_FALSE(answered) << text;
}

} // namespace
} // namespace tarnwick

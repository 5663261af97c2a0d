// The installer run as Windows runs it: a separate process whose message boxes the test
// reads and answers, and the system state it leaves behind.
#include "installer_fixture.h"
#include "message_box.h"
#include "test_env.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kInstalled[] = "Installation completed successfully.";
const char kUninstalled[] = "Uninstallation completed successfully.";
const char kConfirm[] = "This will uninstall screensaver. Continue?";
const char kExtractFailed[] = "Failed to extract screen saver (disk full?)";

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string Icon(const MessageBoxInfo& box) {
    return BoxIconName(box.icon);
}

void ExpectBox(const MessageBoxInfo& box, const char* caption, const char* text, BoxIcon icon,
               std::vector<int> buttons) {
    EXPECT_EQ(caption, box.caption);
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(BoxIconName(icon), Icon(box)) << text;
    EXPECT_EQ(buttons, box.buttons) << text;
    EXPECT_TRUE(box.owner == NULL) << text;
}

std::string ProductValue(const char* stem, bool* present = NULL) {
    std::string text;
    bool found = ReadRegistryText(HKEY_CURRENT_USER, kProductKey, stem, &text);
    if (present != NULL) {
        *present = found;
    }
    return text;
}

std::string UninstallValue(const char* stem, const char* value) {
    std::string text;
    ReadRegistryText(HKEY_LOCAL_MACHINE, (std::string(kUninstallList) + stem).c_str(), value,
                     &text);
    return text;
}

bool UninstallEntryExists(const char* stem) {
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kUninstallList) + stem).c_str(), 0, KEY_READ,
                      &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Where the 64-bit system looks for a file the 32-bit installer put in its system folder.
std::string FolderSeenBy64BitSystem() {
    std::string wow64 = Wow64SystemFolder();
    return wow64.empty() ? SystemFolder() : wow64;
}

std::string Uninstaller(const char* stem) {
    return ProgramFilesFolder() + "\\Tovik\\Flickwell\\UN" + stem + ".exe";
}

TEST(Installer, InstallsTwiceAndUninstallsWithItsRegisteredCommand) {
    const char* stem = "qmv04711";
    const char* name = "Sky Lanterns";
    const std::string installer = MakeScratchDir("filled") + "Sky Lanterns Setup.exe";
    std::vector<unsigned char> saver;
    ASSERT_TRUE(BuildInstaller(installer, stem, name, &saver));
    const std::string previous = "C:\\windows\\system32\\before.scr";
    ASSERT_TRUE(SetCurrentSaverNt(previous));

    std::vector<MessageBoxInfo> boxes;
    ASSERT_EQ(0, RunAnswering(Quoted(installer), {IDOK}, &boxes));
    ASSERT_EQ(1u, boxes.size());
    ExpectBox(boxes[0], name, kInstalled, BoxIcon::Information, {IDOK});

    // The screen saver, byte for byte, where the 32-bit installer put it.
    const std::string installed = SystemFolder() + "\\" + stem + ".scr";
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(ReadFileBytes(installed, &bytes));
    EXPECT_TRUE(bytes == saver);
    // The setting names the file as the system that starts screen savers sees it: under
    // WOW64 that is SysWOW64, not the System32 the 32-bit installer asked for.
    const std::string setting = CurrentSaverNt();
    EXPECT_EQ(ShortPath(FolderSeenBy64BitSystem() + "\\" + stem + ".scr"), setting);
    EXPECT_EQ(ShortPath(FolderSeenBy64BitSystem()), setting.substr(0, setting.rfind('\\')));
    EXPECT_TRUE(FileExistsAt(setting));
    // And a 64-bit process, like the one that starts screen savers, finds it there.
    if (!Wow64SystemFolder().empty()) {
        const std::string cmd64 = SystemFolder() + "\\..\\sysnative\\cmd.exe";
        ASSERT_TRUE(FileExistsAt(cmd64));
        EXPECT_EQ(
            7u, RunAndWait(Quoted(cmd64) + " /c if exist " + setting + " (exit 7) else (exit 3)"));
        EXPECT_EQ(3u, RunAndWait(Quoted(cmd64) + " /c if exist " + SystemFolder() + "\\" + stem +
                                 ".scr (exit 7) else (exit 3)"))
            << "not in the 64-bit System32";
    }
    EXPECT_EQ(previous, ProductValue(stem));

    // The uninstaller is a byte copy, registered with both paths in quotes.
    std::vector<unsigned char> installerBytes, uninstallerBytes;
    ASSERT_TRUE(ReadFileBytes(installer, &installerBytes));
    ASSERT_TRUE(ReadFileBytes(Uninstaller(stem), &uninstallerBytes));
    EXPECT_TRUE(installerBytes == uninstallerBytes);
    const std::string command = UninstallValue(stem, "UninstallString");
    EXPECT_EQ(Quoted(Uninstaller(stem)) + " -u " + Quoted(installed), command);
    EXPECT_NE(std::string::npos, command.find(' ', 1)) << "Program Files has a blank here";
    EXPECT_EQ(name, UninstallValue(stem, "DisplayName"));

    // Declining changes nothing.
    boxes.clear();
    ASSERT_EQ(0, RunAnswering(command, {IDNO}, &boxes));
    ASSERT_EQ(1u, boxes.size());
    ExpectBox(boxes[0], name, kConfirm, BoxIcon::Question, {IDYES, IDNO});
    EXPECT_TRUE(FileExistsAt(installed));
    EXPECT_TRUE(FileExistsAt(Uninstaller(stem)));
    EXPECT_EQ(setting, CurrentSaverNt());
    EXPECT_TRUE(UninstallEntryExists(stem));

    // A second install remembers the package's own screen saver as the previous one.
    boxes.clear();
    ASSERT_EQ(0, RunAnswering(Quoted(installer), {IDOK}, &boxes));
    EXPECT_EQ(setting, ProductValue(stem));
    EXPECT_EQ(setting, CurrentSaverNt());

    // Uninstall, started the way Windows starts the registered command.
    boxes.clear();
    ASSERT_EQ(0, RunAnswering(command, {IDYES, IDOK}, &boxes));
    ASSERT_EQ(2u, boxes.size());
    ExpectBox(boxes[1], name, kUninstalled, BoxIcon::Information, {IDOK});
    EXPECT_EQ(setting, CurrentSaverNt()) << "restores what the second install found";
    bool present = true;
    ProductValue(stem, &present);
    EXPECT_FALSE(present);
    EXPECT_FALSE(FileExistsAt(installed));
    EXPECT_FALSE(UninstallEntryExists(stem));
    // The cleanup copy deletes the uninstaller once it has ended, and goes itself.
    EXPECT_TRUE(WaitUntilGone(Uninstaller(stem), 15000));
    EXPECT_TRUE(WaitUntilGone(TempDir() + "setup.ex_", 15000));
    EXPECT_TRUE(FileExistsAt(ProgramFilesFolder() + "\\Tovik\\Flickwell"));
}

TEST(Installer, DeliveredStubInstallsItsDefaultAndUninstallsToNoSaver) {
    const std::string stub = MakeScratchDir("stub") + "setup.exe";
    ASSERT_TRUE(CopyFileA(BinPath("setup.ex_").c_str(), stub.c_str(), FALSE));
    HKEY desktop = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0,
                                           KEY_SET_VALUE, &desktop));
    RegDeleteValueA(desktop, "SCRNSAVE.EXE");
    RegCloseKey(desktop);

    std::vector<MessageBoxInfo> boxes;
    ASSERT_EQ(0, RunAnswering(stub, {IDOK}, &boxes));
    ASSERT_EQ(1u, boxes.size());
    ExpectBox(boxes[0], "Template Screen Saver", kInstalled, BoxIcon::Information, {IDOK});
    std::vector<unsigned char> expected, bytes;
    ASSERT_TRUE(ReadFileBytes(GeneratedPath("payload.scr"), &expected));
    ASSERT_TRUE(ReadFileBytes(SystemFolder() + "\\ssqmv.scr", &bytes));
    EXPECT_TRUE(bytes == expected);
    bool present = false;
    EXPECT_EQ("", ProductValue("ssqmv", &present));
    EXPECT_TRUE(present) << "no saver before: stored empty";
    EXPECT_EQ("Template Screen Saver", UninstallValue("ssqmv", "DisplayName"));

    boxes.clear();
    ASSERT_EQ(0, RunAnswering(UninstallValue("ssqmv", "UninstallString"), {IDYES, IDOK}, &boxes));
    EXPECT_EQ(2u, boxes.size());
    std::string setting = "unset";
    EXPECT_TRUE(
        ReadRegistryText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "SCRNSAVE.EXE", &setting));
    EXPECT_EQ("", setting);
    EXPECT_FALSE(FileExistsAt(SystemFolder() + "\\ssqmv.scr"));
    EXPECT_TRUE(WaitUntilGone(Uninstaller("ssqmv"), 15000));
}

// "-u" without a path still asks and removes the entries but no screen saver file; and
// the role removes whatever file runs it, here the installer itself.
TEST(Installer, UninstallWithoutPathFromTheInstallerItself) {
    const char* stem = "qmv03333";
    const std::string installer = MakeScratchDir("no path") + "setup.exe";
    std::vector<unsigned char> saver;
    ASSERT_TRUE(BuildInstaller(installer, stem, "No Path", &saver));
    std::vector<MessageBoxInfo> boxes;
    ASSERT_EQ(0, RunAnswering(Quoted(installer), {IDOK}, &boxes));
    ASSERT_EQ(0, RunAnswering(Quoted(installer) + " -U", {IDYES, IDOK}, &boxes));
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(kConfirm, boxes[1].text);
    EXPECT_TRUE(FileExistsAt(SystemFolder() + "\\" + stem + ".scr"));
    bool present = true;
    ProductValue(stem, &present);
    EXPECT_FALSE(present);
    EXPECT_FALSE(UninstallEntryExists(stem));
    EXPECT_TRUE(WaitUntilGone(installer, 15000));
    EXPECT_TRUE(FileExistsAt(Uninstaller(stem)));
}

bool ProcessExists(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == NULL) {
        return false;
    }
    CloseHandle(process);
    return true;
}

class CleanupRole : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string dir = MakeScratchDir("cleanup role");
        program_ = dir + "setup.exe";
        ASSERT_TRUE(CopyFileA(BinPath("setup.ex_").c_str(), program_.c_str(), FALSE));
        victim_ = dir + "old uninstaller.exe";
        ASSERT_TRUE(WriteFileBytes(victim_, {1, 2, 3}));
    }

    // A process that lives until the test ends it: a suspended copy of the stub.
    bool StartLiving(PROCESS_INFORMATION* process) {
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        std::string line = Quoted(program_);
        return CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL,
                              &startup, process) != FALSE;
    }

    std::string Command(DWORD pid, const char* exeSwitch) {
        return Quoted(program_) + " -pid " + std::to_string(pid) + " " + exeSwitch + " " +
               Quoted(victim_);
    }

    std::string program_, victim_;
};

TEST_F(CleanupRole, WaitsForALiveProcessThenDeletes) {
    PROCESS_INFORMATION living;
    ASSERT_TRUE(StartLiving(&living));
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION cleanup;
    std::string line = Command(living.dwProcessId, "-EXE");
    ASSERT_TRUE(
        CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &cleanup));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(cleanup.hProcess, 1500)) << "it waits";
    EXPECT_TRUE(FileExistsAt(victim_));
    TerminateProcess(living.hProcess, 0);
    CloseHandle(living.hThread);
    CloseHandle(living.hProcess);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(cleanup.hProcess, 15000));
    DWORD code = 1;
    GetExitCodeProcess(cleanup.hProcess, &code);
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(FileExistsAt(victim_));
    CloseHandle(cleanup.hThread);
    CloseHandle(cleanup.hProcess);
}

TEST_F(CleanupRole, DeletesNothingForAnEndedOrUnknownProcessOrWithoutExe) {
    PROCESS_INFORMATION living;
    ASSERT_TRUE(StartLiving(&living));
    // Without "-exe" it ends at once, even while the process lives.
    EXPECT_EQ(0u, RunAndWait(Command(living.dwProcessId, "-exec"), 15000));
    EXPECT_EQ(0u,
              RunAndWait(Quoted(program_) + " -pid " + std::to_string(living.dwProcessId), 15000));
    EXPECT_TRUE(FileExistsAt(victim_));
    const DWORD ended = living.dwProcessId;
    TerminateProcess(living.hProcess, 0);
    WaitForSingleObject(living.hProcess, INFINITE);
    CloseHandle(living.hThread);
    CloseHandle(living.hProcess);
    // The system lets go of an ended process a moment after its last handle closes.
    for (int i = 0; i < 100 && ProcessExists(ended); ++i) {
        Sleep(50);
    }
    ASSERT_FALSE(ProcessExists(ended));
    EXPECT_EQ(0u, RunAndWait(Command(ended, "-exe"), 15000));
    EXPECT_TRUE(FileExistsAt(victim_)) << "ended process";
    EXPECT_EQ(0u, RunAndWait(Command(0xFFFFFFF0u, "-exe"), 15000));
    EXPECT_TRUE(FileExistsAt(victim_)) << "unknown process";
}

// Installs whose extraction fails show message 44, end with -1 and change nothing else.
class ExtractionFault : public ::testing::Test {
  protected:
    void ExpectRefusedWithNothingChanged(const char* stem) {
        const std::string installer = MakeScratchDir("fault") + "setup.exe";
        std::vector<unsigned char> saver;
        ASSERT_TRUE(BuildInstaller(installer, stem, "Faulty Saver", &saver));
        const std::string before = CurrentSaverNt();
        std::vector<MessageBoxInfo> boxes;
        ASSERT_EQ(-1, RunAnswering(Quoted(installer), {IDOK}, &boxes));
        ASSERT_EQ(1u, boxes.size());
        ExpectBox(boxes[0], "Faulty Saver", kExtractFailed, BoxIcon::Error, {IDOK});
        EXPECT_EQ(before, CurrentSaverNt());
        bool present = true;
        ProductValue(stem, &present);
        EXPECT_FALSE(present);
        EXPECT_FALSE(FileExistsAt(Uninstaller(stem)));
        if (stem[0] != '\0') {
            EXPECT_FALSE(UninstallEntryExists(stem));
        }
    }
};

TEST_F(ExtractionFault, FileThatCannotBeCreatedInTheSystemFolder) {
    // A folder of the screen saver's name stands where the file would go.
    const std::string blocker = SystemFolder() + "\\qmv05555.scr";
    ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), NULL));
    ExpectRefusedWithNothingChanged("qmv05555");
    RemoveDirectoryA(blocker.c_str());
}

TEST_F(ExtractionFault, EmptyStemIsRefusedAndTheUninstallListStays) {
    HKEY canary = NULL;
    const std::string canaryKey = std::string(kUninstallList) + "FlickwellCanary";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, canaryKey.c_str(), 0, NULL, 0,
                                             KEY_WRITE, NULL, &canary, NULL));
    RegCloseKey(canary);
    ExpectRefusedWithNothingChanged("");

    // The uninstall role of such a package removes nothing either.
    const std::string installer = MakeScratchDir("fault") + "setup.exe";
    std::vector<MessageBoxInfo> boxes;
    EXPECT_EQ(0, RunAnswering(Quoted(installer) + " -u C:\\x.scr", {}, &boxes));
    EXPECT_TRUE(UninstallEntryExists("FlickwellCanary"));
}

TEST(InstallerFaults, UninstallEntryThatCannotBeWrittenStillReportsSuccess) {
    const char* stem = "qmv06666";
    // An entry that grants nobody the right to set its values.
    const std::string key = std::string(kUninstallList) + stem;
    HKEY entry = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, NULL, 0,
                                             KEY_ALL_ACCESS, NULL, &entry, NULL));
    EXPLICIT_ACCESSA readOnly;
    ZeroMemory(&readOnly, sizeof(readOnly));
    BuildExplicitAccessWithNameA(&readOnly, const_cast<char*>("EVERYONE"), KEY_READ, SET_ACCESS,
                                 NO_INHERITANCE);
    PACL acl = NULL;
    ASSERT_EQ(ERROR_SUCCESS, SetEntriesInAclA(1, &readOnly, NULL, &acl));
    ASSERT_EQ(ERROR_SUCCESS,
              SetSecurityInfo(entry, SE_REGISTRY_KEY,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, NULL,
                              NULL, acl, NULL));
    LocalFree(acl);
    RegCloseKey(entry);
    HKEY probe = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, &probe) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        GTEST_SKIP() << "this system does not enforce registry key security";
    }

    const std::string installer = MakeScratchDir("locked entry") + "setup.exe";
    std::vector<unsigned char> saver;
    ASSERT_TRUE(BuildInstaller(installer, stem, "Locked Entry", &saver));
    std::vector<MessageBoxInfo> boxes;
    ASSERT_EQ(0, RunAnswering(Quoted(installer), {IDOK}, &boxes));
    ASSERT_EQ(1u, boxes.size());
    ExpectBox(boxes[0], "Locked Entry", kInstalled, BoxIcon::Information, {IDOK});
    EXPECT_EQ("", UninstallValue(stem, "UninstallString"));
    EXPECT_TRUE(FileExistsAt(SystemFolder() + "\\" + stem + ".scr"));
}

} // namespace

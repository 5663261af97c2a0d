// The installer run as Windows runs it: a separate process whose message boxes the test
// reads and answers, and the system state it leaves behind.
#include "installer_fixture.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

namespace {

const char kUninstalled[] = "Uninstallation completed successfully.";
const char kConfirm[] = "This will uninstall screensaver. Continue?";

// The folders the uninstaller makes for its temporary copy.
std::vector<std::string> CopyFolders() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((TempDir() + "fw*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        names.push_back(found.cFileName);
    }
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
    return names;
}

template <class Condition> bool WaitUntil(Condition done) {
    for (int i = 0; i < 300; ++i, Sleep(50)) {
        if (done()) {
            return true;
        }
    }
    return false;
}

std::vector<unsigned char> Bytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes)) << path;
    return bytes;
}

TEST(Installer, InstallsTwiceAndUninstallsWithItsRegisteredCommand) {
    const char* stem = "qmv04711";
    const char* name = "Sky Lanterns";
    const std::string installer = MakeScratchDir("filled") + "Sky Lanterns Setup.exe";
    std::vector<unsigned char> saver;
    ASSERT_TRUE(BuildInstaller(installer, stem, name, &saver));
    const std::string previous = "C:\\windows\\system32\\before.scr";
    ASSERT_TRUE(SetRegText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "SCRNSAVE.EXE", previous));

    ExpectSingleBox(Quoted(installer), 0, name, kInstalled, BoxIcon::Information);
    const std::string installed = SystemFolder() + "\\" + stem + ".scr";
    EXPECT_TRUE(Bytes(installed) == saver);
    // The setting names the file as the system that starts screen savers sees it: under
    // WOW64 that is SysWOW64, not the System32 the 32-bit installer asked for.
    const std::string setting = Desktop();
    EXPECT_EQ(ShortPath(SeenSystemFolder() + "\\" + stem + ".scr"), setting);
    EXPECT_EQ(previous, ProductValue(stem));
    // The uninstaller is a byte copy, registered with both paths in quotes.
    EXPECT_TRUE(Bytes(installer) == Bytes(Uninstaller(stem)));
    const std::string command = Entry(stem, "UninstallString");
    EXPECT_EQ(Quoted(Uninstaller(stem)) + " -u " + Quoted(installed), command);
    EXPECT_EQ(name, Entry(stem, "DisplayName"));

    // Declining changes nothing.
    std::vector<MessageBoxInfo> boxes;
    ASSERT_EQ(0, RunAnswering(command, {IDNO}, &boxes));
    ASSERT_EQ(1u, boxes.size());
    ExpectBox(boxes[0], name, kConfirm, BoxIcon::Question, {IDYES, IDNO});
    EXPECT_TRUE(FileExistsAt(installed) && FileExistsAt(Uninstaller(stem)));
    EXPECT_EQ(setting, Desktop());
    EXPECT_EQ(name, Entry(stem, "DisplayName"));

    // A second install over the first keeps the screen saver that was there before both.
    ASSERT_EQ(0, RunAnswering(Quoted(installer), {IDOK}, &boxes));
    EXPECT_EQ(previous, ProductValue(stem));
    EXPECT_EQ(setting, Desktop());

    // Uninstall, started the way Windows starts the registered command (blanks in both),
    // while another program holds a file named as the uninstaller's temporary copy once was.
    const std::string foreign = TempDir() + "setup.ex_";
    HANDLE held =
        CreateFileA(foreign.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    boxes.clear();
    ASSERT_EQ(0, RunAnswering(command, {IDYES, IDOK}, &boxes));
    ASSERT_EQ(2u, boxes.size());
    ExpectBox(boxes[1], name, kUninstalled, BoxIcon::Information);
    EXPECT_EQ(previous, Desktop()) << "the screen saver from before the first install";
    EXPECT_EQ("<none>", ProductValue(stem));
    EXPECT_FALSE(FileExistsAt(installed));
    EXPECT_EQ("<none>", Entry(stem, "DisplayName"));
    // The cleanup copy, in a folder of its own, deletes the uninstaller once it has ended;
    // the copy and its folder go too, and the other program's file stays.
    EXPECT_TRUE(WaitUntilGone(Uninstaller(stem)));
    EXPECT_TRUE(WaitUntil([] { return CopyFolders().empty(); }));
    CloseHandle(held);
    EXPECT_TRUE(FileExistsAt(foreign));
}

// The uninstall puts the previous screen saver back only while the setting still names
// the file it removes, however spelled; a screen saver chosen since then stays chosen.
TEST(Installer, UninstallRestoresOnlyASettingThatStillNamesItsFile) {
    const char* stem = "qmv04712";
    const std::string installer = MakeScratchDir("restore") + "setup.exe";
    std::vector<unsigned char> saver;
    ASSERT_TRUE(BuildInstaller(installer, stem, "Restore", &saver));
    const std::string previous = "C:\\windows\\system32\\before.scr";
    std::string own = SeenSystemFolder() + "\\" + stem + ".scr";
    CharUpperA(&own[0]);
    const std::string other = "C:\\windows\\system32\\chosen later.scr";
    for (const std::string& chosen : {own, other}) {
        ASSERT_TRUE(
            SetRegText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "SCRNSAVE.EXE", previous));
        std::vector<MessageBoxInfo> boxes;
        ASSERT_EQ(0, RunAnswering(Quoted(installer), {IDOK}, &boxes));
        ASSERT_TRUE(
            SetRegText(HKEY_CURRENT_USER, "Control Panel\\Desktop", "SCRNSAVE.EXE", chosen));
        ASSERT_EQ(0, RunAnswering(Entry(stem, "UninstallString"), {IDYES, IDOK}, &boxes));
        EXPECT_EQ(chosen == own ? previous : other, Desktop()) << chosen;
        EXPECT_EQ("<none>", ProductValue(stem));
        EXPECT_TRUE(WaitUntilGone(Uninstaller(stem)));
    }
}

TEST(Installer, DeliveredStubInstallsItsDefaultAndUninstallsToNoSaver) {
    const std::string stub = MakeScratchDir("stub") + "setup.exe";
    ASSERT_TRUE(CopyFileA(BinPath("setup.ex_").c_str(), stub.c_str(), FALSE));
    SHDeleteValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "SCRNSAVE.EXE");

    ExpectSingleBox(stub, 0, "Template Screen Saver", kInstalled, BoxIcon::Information);
    EXPECT_TRUE(Bytes(SystemFolder() + "\\ssqmv.scr") == Bytes(GeneratedPath("payload.scr")));
    EXPECT_EQ("", ProductValue("ssqmv")) << "no saver before: stored empty";
    EXPECT_EQ("Template Screen Saver", Entry("ssqmv", "DisplayName"));

    std::vector<MessageBoxInfo> boxes;
    ASSERT_EQ(0, RunAnswering(Entry("ssqmv", "UninstallString"), {IDYES, IDOK}, &boxes));
    EXPECT_EQ("", Desktop());
    EXPECT_FALSE(FileExistsAt(SystemFolder() + "\\ssqmv.scr"));
    EXPECT_TRUE(WaitUntilGone(Uninstaller("ssqmv")));
}

// The 32-bit installer asks for System32 and WOW64 writes SysWOW64: the setting must name
// the file where the 64-bit system that starts screen savers finds it.
TEST(Installer, UnderWow64TheSettingNamesTheFileWhereA64BitProcessFindsIt) {
    if (SeenSystemFolder() == SystemFolder()) {
        GTEST_SKIP() << "not a 32-bit process under WOW64, so no redirection to meet "
                        "(scripts/smoke-i686.sh checks it with the i686 programs)";
    }
    const std::string stub = MakeScratchDir("wow64") + "setup.exe";
    ASSERT_TRUE(CopyFileA(BinPath("setup.ex_").c_str(), stub.c_str(), FALSE));
    ExpectSingleBox(stub, 0, "Template Screen Saver", kInstalled, BoxIcon::Information);
    const std::string cmd64 = Quoted(SystemFolder() + "\\..\\sysnative\\cmd.exe") + " /c if exist ";
    EXPECT_EQ(7u, RunAndWait(cmd64 + Desktop() + " (exit 7) else (exit 3)"));
    EXPECT_EQ(3u, RunAndWait(cmd64 + SystemFolder() + "\\ssqmv.scr (exit 7) else (exit 3)"));
    std::vector<MessageBoxInfo> boxes;
    ASSERT_EQ(0, RunAnswering(Entry("ssqmv", "UninstallString"), {IDYES, IDOK}, &boxes));
    EXPECT_TRUE(WaitUntilGone(Uninstaller("ssqmv")));
}

bool ProcessExists(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    CloseHandle(process);
    return process != NULL;
}

TEST(CleanupRole, WaitsForALiveProcessThenDeletesAndOtherwiseDeletesNothing) {
    const std::string dir = MakeScratchDir("cleanup role");
    const std::string program = Quoted(dir + "setup.exe"), victim = dir + "old uninstaller.exe";
    ASSERT_TRUE(CopyFileA(BinPath("setup.ex_").c_str(), (dir + "setup.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(victim, {1, 2, 3}));
    auto command = [&](DWORD pid, const char* exe) {
        return program + " -pid " + std::to_string(pid) + " " + exe + " " + Quoted(victim);
    };
    PROCESS_INFORMATION living, cleanup; // a suspended copy of the stub lives until ended
    ASSERT_TRUE(Start(program, &living, CREATE_SUSPENDED));
    // The event the process's starter waits on before ending: set once the cleanup holds it.
    HANDLE handOver = CreateEventA(
        NULL, TRUE, FALSE, ("FlickwellCleanupHolds" + std::to_string(living.dwProcessId)).c_str());
    ASSERT_TRUE(handOver != NULL);
    // Without "-exe" it ends at once, even while the process lives.
    EXPECT_EQ(0u, RunAndWait(command(living.dwProcessId, "-exec"), 15000));
    EXPECT_EQ(0u, RunAndWait(program + " -pid " + std::to_string(living.dwProcessId), 15000));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(handOver, 0));
    ASSERT_TRUE(Start(command(living.dwProcessId, "-EXE"), &cleanup));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handOver, 15000)) << "it tells the starter";
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(cleanup.hProcess, 1500)) << "it waits";
    EXPECT_TRUE(FileExistsAt(victim));
    TerminateProcess(living.hProcess, 0);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(cleanup.hProcess, 15000));
    DWORD code = 1;
    GetExitCodeProcess(cleanup.hProcess, &code);
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(FileExistsAt(victim));
    for (HANDLE handle :
         {living.hThread, living.hProcess, cleanup.hThread, cleanup.hProcess, handOver}) {
        CloseHandle(handle);
    }
    // The system lets go of an ended process a moment after its last handle closes.
    for (int i = 0; i < 100 && ProcessExists(living.dwProcessId); ++i) {
        Sleep(50);
    }
    ASSERT_FALSE(ProcessExists(living.dwProcessId));
    ASSERT_TRUE(WriteFileBytes(victim, {1, 2, 3}));
    EXPECT_EQ(0u, RunAndWait(command(living.dwProcessId, "-exe"), 15000));
    EXPECT_EQ(0u, RunAndWait(command(0xFFFFFFF0u, "-exe"), 15000));
    EXPECT_TRUE(FileExistsAt(victim)) << "ended or unknown process";
}

// An install whose extraction fails shows message 44, ends with -1, changes nothing else.
void ExpectRefusedWithNothingChanged(const char* stem) {
    const std::string installer = MakeScratchDir("fault") + "setup.exe";
    std::vector<unsigned char> saver;
    ASSERT_TRUE(BuildInstaller(installer, stem, "Faulty Saver", &saver));
    const std::string before = Desktop();
    ExpectSingleBox(Quoted(installer), -1, "Faulty Saver", kExtractFailed, BoxIcon::Error);
    EXPECT_EQ(before, Desktop());
    EXPECT_EQ("<none>", ProductValue(stem));
    EXPECT_FALSE(FileExistsAt(Uninstaller(stem)));
}

TEST(InstallerFaults, FileThatCannotBeCreatedInTheSystemFolder) {
    // A folder of the screen saver's name stands where the file would go.
    ASSERT_TRUE(CreateDirectoryA((SystemFolder() + "\\qmv05555.scr").c_str(), NULL));
    ExpectRefusedWithNothingChanged("qmv05555");
    EXPECT_EQ("<none>", Entry("qmv05555", "DisplayName"));
}

TEST(InstallerFaults, EmptyStemIsRefusedAndTheUninstallListStays) {
    ASSERT_TRUE(SetRegText(HKEY_LOCAL_MACHINE, std::string(kUninstallList) + "Canary",
                           "DisplayName", "Canary"));
    ExpectRefusedWithNothingChanged("");
    // The uninstall role of such a package removes nothing either.
    std::vector<MessageBoxInfo> boxes;
    EXPECT_EQ(0, RunAnswering(Quoted(MakeScratchDir("fault") + "setup.exe") + " -u C:\\x.scr", {},
                              &boxes));
    EXPECT_EQ("Canary", Entry("Canary", "DisplayName"));
    EXPECT_EQ("<none>", Entry("", "UninstallString"));
}

TEST(InstallerFaults, UninstallEntryThatCannotBeWrittenStillReportsSuccess) {
    const char* stem = "qmv06666";
    // An entry that everybody may read and nobody may change.
    const std::string key = std::string(kUninstallList) + stem;
    PSECURITY_DESCRIPTOR readOnly = NULL;
    HKEY entry = NULL;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", 1,
                                                                     &readOnly, NULL));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, NULL, 0,
                                             KEY_ALL_ACCESS, NULL, &entry, NULL));
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(entry, DACL_SECURITY_INFORMATION, readOnly));
    LocalFree(readOnly);
    RegCloseKey(entry);
    if (SetRegText(HKEY_LOCAL_MACHINE, key, "Probe", "")) {
        GTEST_SKIP() << "this system does not enforce registry key security";
    }

    const std::string installer = MakeScratchDir("locked entry") + "setup.exe";
    std::vector<unsigned char> saver;
    ASSERT_TRUE(BuildInstaller(installer, stem, "Locked Entry", &saver));
    ExpectSingleBox(Quoted(installer), 0, "Locked Entry", kInstalled, BoxIcon::Information);
    EXPECT_EQ("<none>", Entry(stem, "UninstallString"));
    EXPECT_TRUE(FileExistsAt(SystemFolder() + "\\" + stem + ".scr"));
}

} // namespace

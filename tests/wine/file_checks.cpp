#include "file_checks.h"

#include "check.h"
#include "livelog/busy_retry.h"
#include "platform/files/native_file_ops.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace FileChecks {

namespace {

namespace fs = std::filesystem;
using NativeFileOps::Failure;
using NativeFileOps::Status;
using WineCheck::finish;
using WineCheck::startSelf;

bool isBusy(const Status& status)
{
    return status.failure == Failure::busy;
}

Status readAll(const fs::path& path, std::string& bytes)
{
    return NativeFileOps::readAll(path, [&bytes](std::size_t size) {
        bytes.resize(size);
        return bytes.data();
    });
}

template <typename Call> Status retried(Call call)
{
    return LiveLog::retryWhileBusy(call, isBusy);
}

std::string describe(const Status& status)
{
    return "failure " + std::to_string(int(status.failure)) + ": " + status.description;
}

const fs::path& folder()
{
    static const fs::path path = fs::current_path();
    return path;
}

fs::path logPath()
{
    return folder() / L"CHATSLATE-LIVE.LOG";
}

fs::path ownFile(const wchar_t* suffix)
{
    return folder() / (L"CHATSLATE-LIVE.LOG." + std::to_wstring(GetCurrentProcessId()) + suffix);
}

// A log whose first and last lines name the same version, so that a read of half of one is seen.
std::string versionedLog(int version, std::size_t size)
{
    const std::string mark = "version " + std::to_string(version) + "\r\n";
    std::string log = mark;
    log.resize(size - mark.size(), char('a' + version % 26));
    return log + mark;
}

bool isWholeVersion(const std::string& log)
{
    const std::size_t firstEnd = log.find("\r\n");
    return firstEnd != std::string::npos && log.size() > 2 * (firstEnd + 2) &&
           log.compare(log.size() - firstEnd - 2, firstEnd + 2, log, 0, firstEnd + 2) == 0;
}

// Starts copies in one of the roles below, lets them go at once, and adds up their exit codes.
struct Group
{
    std::vector<HANDLE> processes;
    HANDLE gate = WineCheck::namedEvent(L"gate");

    void start(const std::wstring& arguments) { processes.push_back(startSelf(arguments)); }
    DWORD finishAll()
    {
        SetEvent(gate);
        DWORD sum = 0;
        for (const HANDLE process : processes)
            sum += finish(process);
        ResetEvent(gate);
        CloseHandle(gate);
        return sum;
    }
};

void waitAtGate()
{
    const HANDLE gate = WineCheck::namedEvent(L"gate");
    WaitForSingleObject(gate, INFINITE);
    CloseHandle(gate);
}

constexpr DWORD faultExit = 100000;

// One post as the live log makes it: take the lock, read, put the entry in front, replace, let go.
// Returns whether it landed; a fault that is no refusal ends the process.
bool post(const std::string& entry)
{
    const fs::path lock = fs::path(logPath()) += L".LOCK";
    const LARGE_INTEGER start = WineCheck::now();
    for (;;) {
        const Status created = retried([&] { return NativeFileOps::writeAll(lock, entry, true); });
        if (created.ok())
            break;
        if (created.failure != Failure::alreadyExists) {
            std::fprintf(stderr, "lock: %s\n", describe(created).c_str());
            ExitProcess(faultExit);
        }
        if (WineCheck::msecsSince(start) > double(LiveLog::defaultLockWait.count()))
            return false;
        Sleep(1);
    }
    std::string log;
    Status status = retried([&] { return readAll(logPath(), log); });
    const fs::path temporary = ownFile(L".TMP");
    if (status.ok())
        status = retried([&] { return NativeFileOps::writeAll(temporary, entry + "\r\n" + log, false); });
    if (status.ok()) {
        status = retried([&] { return NativeFileOps::replace(temporary, logPath()); });
    }
    if (!status.ok() && !isBusy(status)) {
        std::fprintf(stderr, "post: %s\n", describe(status).c_str());
        ExitProcess(faultExit);
    }
    if (!status.ok())
        NativeFileOps::remove(temporary);
    retried([&] { return NativeFileOps::remove(lock); });
    return status.ok();
}

// Roles of the copies. Each returns its exit code.

int replacer(int versions, std::size_t size)
{
    waitAtGate();
    const fs::path temporary = ownFile(L".TMP");
    for (int version = 1; version <= versions; ++version) {
        if (!NativeFileOps::writeAll(temporary, versionedLog(version, size), false).ok())
            return int(faultExit);
        Status replaced;
        do
            replaced = NativeFileOps::replace(temporary, logPath());
        while (isBusy(replaced));
        if (!replaced.ok())
            return int(faultExit);
    }
    return 0;
}

int racer(int rounds)
{
    waitAtGate();
    int wins = 0;
    for (int round = 0; round < rounds; ++round) {
        const Status created =
            NativeFileOps::writeAll(folder() / (L"race-" + std::to_wstring(round) + L".LOCK"),
                                    std::to_string(GetCurrentProcessId()), true);
        if (created.ok())
            ++wins;
        else if (created.failure != Failure::alreadyExists)
            return int(faultExit);
    }
    return wins;
}

int poster(const std::wstring& name, int posts)
{
    waitAtGate();
    // A refused post is posted again, as its writer would: on a loaded machine the wait for the lock
    // or for readers to let go of the log can run out. Only one that never lands is a fault.
    constexpr int triesPerPost = 20;
    int refused = 0;
    const std::string tag(name.begin(), name.end());
    for (int index = 0; index < posts; ++index) {
        for (int tries = 1; !post(tag + "-" + std::to_string(index)); ++tries) {
            if (tries == triesPerPost)
                ExitProcess(faultExit);
            ++refused;
        }
    }
    return refused;
}

int reader(int pauseMs)
{
    const HANDLE stop = WineCheck::namedEvent(L"stop");
    waitAtGate();
    int reads = 0;
    int bad = 0;
    while (WaitForSingleObject(stop, 0) != WAIT_OBJECT_0) {
        std::string log;
        const Status read = retried([&] { return readAll(logPath(), log); });
        ++reads;
        if (!read.ok())
            ++bad;
        Sleep(DWORD(pauseMs));
    }
    CloseHandle(stop);
    std::printf("  reader %lu: %d reads, %d failed\n", GetCurrentProcessId(), reads, bad);
    return bad;
}

// The checks.

void readsWhileReplaced()
{
    constexpr std::size_t size = 256 * 1024;
    CHECK(NativeFileOps::writeAll(logPath(), versionedLog(0, size), false).ok(), "first log");
    Group group;
    group.start(L"replacer 150 " + std::to_wstring(size));
    SetEvent(group.gate);
    int reads = 0;
    int partial = 0;
    int failed = 0;
    while (WaitForSingleObject(group.processes.front(), 0) == WAIT_TIMEOUT) {
        std::string log;
        const Status read = retried([&] { return readAll(logPath(), log); });
        ++reads;
        failed += read.ok() ? 0 : 1;
        partial += read.ok() && !isWholeVersion(log) ? 1 : 0;
    }
    CHECK(group.finishAll() == 0, "the replacer failed");
    std::printf("  %d reads during 150 replaces\n", reads);
    CHECK(reads > 0, "no read overlapped the replaces");
    CHECK(failed == 0, std::to_string(failed) + " reads failed");
    CHECK(partial == 0, std::to_string(partial) + " reads saw part of a log");
}

void exclusiveCreateRace()
{
    constexpr int rounds = 200;
    Group group;
    for (int copy = 0; copy < 3; ++copy)
        group.start(L"racer " + std::to_wstring(rounds));
    CHECK(group.finishAll() == rounds, "not exactly one winner of every exclusive create");
}

// Entries of a log written by post(), oldest last, with how often each occurs.
std::map<std::string, int> entriesOf(const std::string& log)
{
    std::map<std::string, int> entries;
    for (std::size_t start = 0; start < log.size();) {
        const std::size_t end = log.find("\r\n", start);
        entries[log.substr(start, end - start)]++;
        start = end == std::string::npos ? log.size() : end + 2;
    }
    return entries;
}

void postsFromThreeProcesses()
{
    constexpr int posts = 300;
    CHECK(NativeFileOps::writeAll(logPath(), "", false).ok(), "empty log");
    Group group;
    for (const wchar_t* name : {L"A", L"B", L"C"})
        group.start(std::wstring(L"poster ") + name + L" " + std::to_wstring(posts));
    const LARGE_INTEGER start = WineCheck::now();
    const DWORD refused = group.finishAll();
    CHECK(refused < faultExit, "a post failed or never landed");
    std::printf("  3 x %d posts in %.0f ms, %lu refused and posted again\n", posts,
                WineCheck::msecsSince(start), refused % faultExit);
    std::string log;
    CHECK(readAll(logPath(), log).ok(), "log after the posts");
    const std::map<std::string, int> entries = entriesOf(log);
    int once = 0;
    for (const char* name : {"A", "B", "C"}) {
        for (int index = 0; index < posts; ++index) {
            const auto found = entries.find(std::string(name) + "-" + std::to_string(index));
            once += found != entries.end() && found->second == 1 ? 1 : 0;
        }
    }
    CHECK(once == 3 * posts && entries.size() == std::size_t(3 * posts),
          std::to_string(once) + " entries exactly once, " + std::to_string(entries.size()) + " different");
}

// Readers that read the log again as soon as they have closed it still leave moments for a rename
// that cannot replace an open file; the writer's tries must find them.
void postsLandWhileThreeReadersRead()
{
    constexpr int posts = 40;
    CHECK(NativeFileOps::writeAll(logPath(), std::string(1024 * 1024, 'x'), false).ok(), "1 MB log");
    const HANDLE stop = WineCheck::namedEvent(L"stop");
    Group readers;
    for (int copy = 0; copy < 3; ++copy)
        readers.start(L"reader 0");
    Group poster;
    poster.start(L"poster P " + std::to_wstring(posts));
    SetEvent(readers.gate);
    const LARGE_INTEGER start = WineCheck::now();
    const DWORD refused = poster.finishAll();
    const double elapsed = WineCheck::msecsSince(start);
    SetEvent(stop);
    CHECK(readers.finishAll() == 0, "reads failed");
    CloseHandle(stop);
    std::printf("  %lu refusals of %d posts, %.1f ms a post, while three readers read a 1 MB log\n",
                refused % faultExit, posts, elapsed / posts);
    CHECK(refused < faultExit, "a post failed or never landed");
}

void processAliveChecks()
{
    CHECK(NativeFileOps::processRunning(GetCurrentProcessId()), "this process");
    CHECK(!NativeFileOps::processRunning((std::int64_t(1) << 32) + GetCurrentProcessId()),
          "an id too large for a process, whose low half is this process");
    const HANDLE child = startSelf(L"exit");
    const DWORD childId = GetProcessId(child);
    CHECK(NativeFileOps::processRunning(childId), "a copy still running");
    finish(child);
    CHECK(!NativeFileOps::processRunning(childId), "a copy that has ended");
    for (const std::int64_t unused : {std::int64_t(0), std::int64_t(-1), std::int64_t(0x7ffffff0)})
        CHECK(!NativeFileOps::processRunning(unused), "unused id " + std::to_string(unused));
}

// A lock's age is judged against a probe file written just now, both times by the file system's clock.
void fileTimes()
{
    const fs::path lock = folder() / L"times.LOCK";
    const fs::path probe = folder() / L"times.CLOCK";
    CHECK(NativeFileOps::writeAll(lock, "lock", false).ok(), "lock");
    HANDLE file = CreateFileW(lock.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME written{};
    GetSystemTimeAsFileTime(&written);
    ULARGE_INTEGER time{{written.dwLowDateTime, written.dwHighDateTime}};
    time.QuadPart -= 20ULL * 10'000'000ULL;
    written = {time.LowPart, time.HighPart};
    CHECK(SetFileTime(file, nullptr, nullptr, &written), "setting the lock's time");
    CloseHandle(file);
    CHECK(NativeFileOps::writeAll(probe, "", false).ok(), "probe");
    std::int64_t lockTime = 0;
    std::int64_t probeTime = 0;
    CHECK(NativeFileOps::modificationTime(lock, lockTime).ok(), "lock's time");
    CHECK(NativeFileOps::modificationTime(probe, probeTime).ok(), "probe's time");
    const std::int64_t age = probeTime - lockTime;
    CHECK(age > 19'000 && age < 23'000, "lock age " + std::to_string(age) + " ms, set 20 s back");
    const std::int64_t sinceEpoch = std::int64_t(std::time(nullptr)) * 1000;
    CHECK(probeTime > sinceEpoch - 5000 && probeTime < sinceEpoch + 5000, "probe time is not since 1970");
    std::int64_t unused = 0;
    CHECK(NativeFileOps::modificationTime(folder() / L"absent", unused).failure == Failure::missing,
          "time of a missing file");
}

// The same file reads nothing; a rewrite in place of another size and a replace by a file of the same
// size and time read it whole.
void identityFollowsTheFile()
{
    const fs::path log = folder() / L"identity.LOG";
    const fs::path replacement = folder() / L"identity.NEW";
    std::string bytes;
    const auto resize = [&bytes](std::size_t size) {
        bytes.resize(size);
        return bytes.data();
    };
    const auto reread = [&](const std::optional<FileIdentity>& known, FileIdentity& identity) {
        bool unchanged = false;
        CHECK(NativeFileOps::readIfChanged(log, known, identity, unchanged, resize).ok(), "read");
        return unchanged;
    };
    CHECK(NativeFileOps::writeAll(log, "first", false).ok(), "first");
    FileIdentity first;
    CHECK(!reread(std::nullopt, first) && bytes == "first", "first read: " + bytes);
    bytes = "kept";
    FileIdentity same;
    CHECK(reread(first, same) && same == first && bytes == "kept", "unchanged read: " + bytes);

    CHECK(NativeFileOps::writeAll(log, "second", false).ok(), "rewritten in place");
    FileIdentity rewritten;
    CHECK(!reread(first, rewritten) && bytes == "second", "rewritten: " + bytes);

    CHECK(NativeFileOps::writeAll(replacement, "SECOND", false).ok(), "replacement");
    HANDLE original =
        CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE file =
        CreateFileW(replacement.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME written{};
    CHECK(GetFileTime(original, nullptr, nullptr, &written) && SetFileTime(file, nullptr, nullptr, &written),
          "same time");
    CloseHandle(original);
    CloseHandle(file);
    CHECK(NativeFileOps::replace(replacement, log).ok(), "replaced");
    FileIdentity replaced;
    CHECK(!reread(rewritten, replaced) && bytes == "SECOND", "replaced: " + bytes);
    CHECK(replaced.size == rewritten.size && replaced.modified == rewritten.modified, "same size and time");
}

// Names given in UTF-8, as the rest of the program hands them over.
void namesAndListing()
{
    const std::vector<std::string> names = {
        "CHATSLATE-LIVE.LOG.caf\xc3\xa9-\xe2\x82\xac-\xe2\x80\x93.TMP", // Windows-1252: é € –
        "CHATSLATE-LIVE.LOG.\xe6\x97\xa5\xe6\x9c\xac-\xd0\x96-\xf0\x9f\x98\x80.TMP", // beyond it
    };
    const fs::path sub = folder() / L"listing";
    fs::create_directory(sub);
    fs::create_directory(sub / L"a folder");
    for (const std::string& name : names) {
        const fs::path path = sub / fs::u8path(name);
        CHECK(NativeFileOps::writeAll(path, name, true).ok(), name);
        std::string back;
        CHECK(readAll(path, back).ok() && back == name, "read back " + name);
    }
    std::vector<std::string> listed;
    CHECK(NativeFileOps::listFolder(sub, listed).ok(), "listing");
    std::sort(listed.begin(), listed.end());
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end());
    CHECK(listed == expected, "the listing has the files, by their names, and no folder");
    CHECK(NativeFileOps::listFolder(folder() / L"absent", listed).failure == Failure::missing,
          "listing a missing folder");
}

// Refusals that no retry mends are reported for what they are, at once.
void refusalsTellTheirCause()
{
    const fs::path folderInPlace = folder() / L"folder.LOG";
    fs::create_directory(folderInPlace);
    const fs::path source = ownFile(L".TMP");
    std::string bytes;
    const auto expect = [](const Status& status, Failure failure, const std::string& what) {
        CHECK(status.failure == failure, what + ": " + describe(status));
    };
    expect(readAll(folderInPlace, bytes), Failure::notAFile, "read a folder");
    expect(NativeFileOps::writeAll(folderInPlace, "x", false), Failure::notAFile, "write a folder");
    NativeFileOps::writeAll(source, "x", false);
    expect(NativeFileOps::replace(source, folderInPlace), Failure::notAFile, "replace a folder");
    CHECK(NativeFileOps::remove(folderInPlace).ok() && !fs::exists(folderInPlace),
          "an empty folder in a file's place goes");

    // Windows refuses a rename over a read-only file; Wine lets it through.
    const fs::path readOnly = folder() / L"read-only.LOG";
    const HANDLE file = CreateFileW(readOnly.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_READONLY, nullptr);
    CloseHandle(file);
    const Status replaced = NativeFileOps::replace(source, readOnly);
    if (replaced.ok()) {
        std::printf("  skipped the read-only file: this system lets a rename replace it\n");
    } else {
        expect(replaced, Failure::readOnly, "replace a read-only file");
        expect(NativeFileOps::remove(readOnly), Failure::readOnly, "remove a read-only file");
    }
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    NativeFileOps::remove(source);
}

// A lock is made whole under a scratch name and then given its own one; an existing lock stays.
void wholeCreateKeepsAnExistingFile()
{
    const fs::path lock = folder() / L"whole.LOCK";
    const fs::path scratch = ownFile(L".NEWLOCK");
    CHECK(NativeFileOps::writeAll(scratch, "first", true).ok(), "write the scratch file");
    const auto created = NativeFileOps::moveToNew(scratch, lock);
    CHECK(created && created->ok(), "a whole create of a new name");
    CHECK(!fs::exists(scratch), "the scratch file is gone afterwards");
    CHECK(NativeFileOps::writeAll(scratch, "second", true).ok(), "write the scratch file again");
    const auto refused = NativeFileOps::moveToNew(scratch, lock);
    CHECK(refused && refused->failure == Failure::alreadyExists,
          "a whole create of a taken name: " + (refused ? describe(*refused) : std::string("none")));
    std::string bytes;
    CHECK(readAll(lock, bytes).ok() && bytes == "first", "the existing file keeps its bytes");
    NativeFileOps::remove(scratch);
    NativeFileOps::remove(lock);
}

} // namespace

int runRole(int argc, wchar_t** argv)
{
    const std::wstring role = argv[1];
    const auto number = [&](int index) {
        return index < argc ? std::stoi(argv[index]) : 0;
    };
    if (role == L"replacer")
        return replacer(number(2), std::size_t(number(3)));
    if (role == L"racer")
        return racer(number(2));
    if (role == L"poster")
        return poster(argc > 2 ? argv[2] : L"?", number(3));
    if (role == L"reader")
        return reader(number(2));
    if (role == L"exit")
        return 0;
    return -1;
}

int run()
{
    const struct
    {
        const char* name;
        void (*check)();
    } checks[] = {
        {"reads while another process replaces the log", readsWhileReplaced},
        {"exclusive create raced by three processes", exclusiveCreateRace},
        {"three processes post 300 times each", postsFromThreeProcesses},
        {"posts land while three readers read", postsLandWhileThreeReadersRead},
        {"process-alive checks", processAliveChecks},
        {"file times against a fresh probe", fileTimes},
        {"identity of an open file", identityFollowsTheFile},
        {"Unicode and Windows-1252 names, listing", namesAndListing},
        {"refusals tell their cause", refusalsTellTheirCause},
        {"a whole create keeps an existing file", wholeCreateKeepsAnExistingFile},
    };
    for (const auto& check : checks) {
        const int before = WineCheck::failures();
        const LARGE_INTEGER start = WineCheck::now();
        std::printf("%s\n", check.name);
        std::fflush(stdout);
        check.check();
        std::printf("  %s, %.0f ms\n", WineCheck::failures() == before ? "ok" : "FAILED",
                    WineCheck::msecsSince(start));
        std::fflush(stdout);
    }
    return WineCheck::failures();
}

} // namespace FileChecks

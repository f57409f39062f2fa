// Recording and saving onto a file system that fills up. Each case runs in a
// child process of its own, on a small memory file system mounted there when
// the system lets an unprivileged process do so, and else under a file-size
// limit (with SIGXFSZ ignored, so writes fail instead of killing the process).
// Either way the limit ends with the child.
//
// Every failed write is reported once as ERR_FILE, the acquisition goes on, and
// the file keeps the frames written before the failure: a raw or temperature
// stream holds whole frames only, and an AVI is finished with a valid index —
// "still opens" means that every size field, chunk and index entry agrees with
// the bytes there (and ffprobe, when installed, decodes the same frame count).
// Should the medium have no room left even for the index, the newest frames
// give way to it.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "ReliabilityTestSupport.h"

namespace calidra {
namespace {

using reliability::Client;

constexpr int kMediumUnavailable = 77;
constexpr std::uint64_t kTmpfsBytes = 4ull << 20;
// Room for a dozen frames of every kind once the medium is emptied again.
constexpr std::uint64_t kRecordingTmpfsBytes = 16ull << 20;
constexpr std::uint64_t kAviChunk = 8ull + reliability::kColourFrameBytes;
constexpr std::uint64_t kAviHeader = 232;

enum class Medium { kSmallTmpfs, kFileSizeLimit };

bool WriteText(const char* path, const std::string& text) {
    const int fd = open(path, O_WRONLY);
    if (fd < 0) return false;
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return ok;
}

// In the child: a memory file system of `bytes` over dir, seen by this process
// only. false when the system allows no such mount.
bool MountSmallTmpfs(const std::filesystem::path& dir, std::uint64_t bytes) {
    if (unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = getuid();
        const gid_t gid = getgid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        WriteText("/proc/self/setgroups", "deny");
        if (!WriteText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !WriteText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    const std::string options = "size=" + std::to_string(bytes);
    return mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

// In the child: files may grow to `bytes` and no further; writes beyond fail
// with EFBIG. The hard limit stays, so that room can be given back.
bool LimitFileSize(std::uint64_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

bool LiftFileSizeLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    limit.rlim_cur = limit.rlim_max;
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

// Fills the rest of the medium under dir with one file.
void FillUp(const std::filesystem::path& file) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return;
    std::vector<char> block(64 * 1024, 'x');
    while (std::fwrite(block.data(), 1, block.size(), out) == block.size()) {
    }
    std::fclose(out);
}

// How many frames ffprobe decodes from an AVI; -1 when it is not installed or fails.
long FramesFfprobeCounts(const std::filesystem::path& file) {
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) return -1;
    const std::string command =
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=nb_read_frames -of csv=p=0 '" +
        file.string() + "' 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    long frames = -1;
    if (std::fscanf(pipe, "%ld", &frames) != 1) frames = -1;
    pclose(pipe);
    return frames;
}

class DiskFault : public ::testing::Test {
protected:
    void SetUp() override {
        figures.Begin("disk");
        dir = reliability::ScratchDirectory("reliability-disk");
        medium = dir / "medium";
        std::filesystem::create_directories(medium);
    }
    void TearDown() override {
        // A child runs the leak checker as it exits, and its status tells.
        figures.leaks = reliability::LeaksNow();
        EXPECT_NE(figures.leaks, 1) << "memory leaked (see the leak report above)";
        figures.End(!HasFailure() && !IsSkipped(), IsSkipped());
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    // Runs body in a child process on the limited medium: a tmpfs of `bytes`,
    // or files limited to `bytes` each. The child's gtest failures make its
    // exit status; its count of verified files comes back in a file.
    void InChild(Medium kind, std::uint64_t bytes, const std::function<void()>& body) {
        std::fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool ready = kind == Medium::kSmallTmpfs ? MountSmallTmpfs(medium, bytes) : LimitFileSize(bytes);
            if (!ready) std::_Exit(kMediumUnavailable);
            body();
            std::ofstream(dir / "verified") << figures.filesVerified;
            std::fflush(nullptr);
            // exit, not _Exit: the leak checker of a sanitizer build runs at exit.
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        int status = 0;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        pid_t done = 0;
        while ((done = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (done == 0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            FAIL() << "the child hung";
        }
        ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
        if (WEXITSTATUS(status) == kMediumUnavailable) GTEST_SKIP() << "no small file system can be mounted here";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the child found faults (see above)";
        std::uint64_t verified = 0;
        std::ifstream(dir / "verified") >> verified;
        figures.filesVerified += verified;
    }

    // Gives the medium its room back.
    void MakeRoom(Medium kind) {
        if (kind == Medium::kFileSizeLimit) {
            ASSERT_TRUE(LiftFileSizeLimit());
        } else {
            std::filesystem::remove(medium / "filler");
        }
    }

    reliability::Figures figures;
    std::filesystem::path dir;
    std::filesystem::path medium;
};

// ---------------------------------------------------------------------------
// A recording that fills the medium.

struct RecordingCase {
    Medium medium;
    int kind;
    std::uint64_t bytes;   // the tmpfs's size, or the file-size limit
    std::uint64_t frames;  // whole frames the file must end with
};

std::string MediumName(Medium medium) { return medium == Medium::kSmallTmpfs ? "Tmpfs" : "FileSizeLimit"; }

class RecordingFillsTheDisk : public DiskFault, public ::testing::WithParamInterface<RecordingCase> {};

TEST_P(RecordingFillsTheDisk, ReportsOnceAndKeepsTheFramesWritten) {
    const RecordingCase c = GetParam();
    InChild(c.medium, c.bytes, [&] {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 100);
        Client client;
        ASSERT_TRUE(client.Initialize());
        const std::filesystem::path path = medium / ("full." + std::to_string(c.kind));
        ASSERT_EQ(Calidra_RecA(client.Handle(), path.string().c_str(), c.kind), 1);
        ASSERT_EQ(Calidra_Preview(client.Handle()), 1);
        ASSERT_TRUE(client.WaitCode(ERR_FILE));
        // The file is finished at once; acquisition goes on without it.
        EXPECT_EQ(Calidra_GetParam(client.Handle(), 7), 0);
        EXPECT_TRUE(client.WaitFrames(5));
        EXPECT_EQ(client.Close(), 1);
        EXPECT_EQ(client.TakeCodes(), (std::vector<int>{ERR_UNSUPPORTED, ERR_FILE}));

        const reliability::FileCheck check = reliability::CheckRecording(path, c.kind);
        ASSERT_TRUE(check.valid) << check.problem;
        EXPECT_EQ(check.frames, c.frames);
        EXPECT_GT(client.Frames().size(), check.frames);
        if (c.kind == 2) {
            const long decoded = FramesFfprobeCounts(path);
            if (decoded >= 0) {
                EXPECT_EQ(decoded, static_cast<long>(check.frames)) << "ffprobe";
            }
        }
        ++figures.filesVerified;

        // With room again, a new recording takes every frame. The camera slows
        // down so that the few frames stored before Close fit on the tmpfs.
        std::filesystem::remove(path);
        MakeRoom(c.medium);
        CalidraSim_SetFrameRate(0, 10);
        const std::filesystem::path next = medium / ("next." + std::to_string(c.kind));
        ASSERT_EQ(Calidra_RecA(client.Handle(), next.string().c_str(), c.kind), 1);
        client.ForgetFrames();
        ASSERT_EQ(Calidra_Preview(client.Handle()), 1);
        EXPECT_TRUE(client.WaitFrames(3));
        EXPECT_EQ(client.Close(), 1);
        client.Drain();
        EXPECT_EQ(client.TakeCodes(), std::vector<int>{ERR_UNSUPPORTED});
        const reliability::FileCheck again = reliability::CheckRecording(next, c.kind);
        ASSERT_TRUE(again.valid) << again.problem;
        EXPECT_EQ(again.frames, client.Frames().size());
        ++figures.filesVerified;
        EXPECT_EQ(client.Release(), 1);
    });
}

std::string RecordingCaseName(const ::testing::TestParamInfo<RecordingCase>& info) {
    return MediumName(info.param.medium) + "_Kind" + std::to_string(info.param.kind) + "_" +
           std::to_string(info.param.frames) + "Frames";
}

INSTANTIATE_TEST_SUITE_P(EveryKind, RecordingFillsTheDisk,
                         ::testing::Values(
                             // 16 MiB: 27 raw frames, 18 AVI chunks with room for the index in
                             // what the nineteenth left, 13 temperature frames.
                             RecordingCase{Medium::kSmallTmpfs, 1, kRecordingTmpfsBytes, 27},
                             RecordingCase{Medium::kSmallTmpfs, 2, kRecordingTmpfsBytes, 18},
                             RecordingCase{Medium::kSmallTmpfs, 3, kRecordingTmpfsBytes, 13},
                             RecordingCase{Medium::kFileSizeLimit, 1, 5 * reliability::kRawFrameBytes + 1000, 5},
                             RecordingCase{Medium::kFileSizeLimit, 2, kAviHeader + 4 * kAviChunk + 1000, 4},
                             RecordingCase{Medium::kFileSizeLimit, 3, 3 * reliability::kTemperatureFrameBytes + 1000,
                                           3},
                             // The limit falls exactly after the third chunk: no byte is left for
                             // the index, so the third frame makes room for it.
                             RecordingCase{Medium::kFileSizeLimit, 2, kAviHeader + 3 * kAviChunk, 2}),
                         RecordingCaseName);

// ---------------------------------------------------------------------------
// Stills and correction data on a full medium.

class SavingOnAFullDisk : public DiskFault, public ::testing::WithParamInterface<Medium> {};

TEST_P(SavingOnAFullDisk, EveryTypeFailsWithCode9UntilThereIsRoom) {
    const Medium kind = GetParam();
    // Each still and the correction data are far larger than 1000 bytes; the
    // tmpfs must hold the correction data (9.4 MiB) once there is room.
    InChild(kind, kind == Medium::kSmallTmpfs ? 16 * kTmpfsBytes : 1000, [&] {
        CalidraSim_Reset();
        Client client;
        ASSERT_TRUE(client.Initialize());
        ASSERT_NE(Calidra_OneShot(client.Handle()), 0u);
        if (kind == Medium::kSmallTmpfs) FillUp(medium / "filler");
        const std::string still = (medium / "still.").string();
        const std::string nuc = (medium / "nuc.cor").string();
        for (int type = 0; type <= 13; ++type) {
            EXPECT_EQ(Calidra_SaveA(client.Handle(), (still + std::to_string(type)).c_str(), type), 0) << type;
            EXPECT_EQ(client.TakeCodes(), std::vector<int>{ERR_FILE}) << type;
        }
        EXPECT_EQ(Calidra_SaveNucDataA(client.Handle(), nuc.c_str(), FILESAVETYPE_CORSET), 0);
        EXPECT_EQ(client.TakeCodes(), std::vector<int>{ERR_FILE});

        MakeRoom(kind);
        for (int type = 0; type <= 13; ++type) {
            EXPECT_EQ(Calidra_SaveA(client.Handle(), (still + std::to_string(type)).c_str(), type), 1) << type;
            EXPECT_GT(std::filesystem::file_size(still + std::to_string(type)), 1000u) << type;
            std::filesystem::remove(still + std::to_string(type));
        }
        EXPECT_EQ(Calidra_SaveNucDataA(client.Handle(), nuc.c_str(), FILESAVETYPE_CORSET), 1);
        EXPECT_EQ(Calidra_LoadNucDataA(client.Handle(), nuc.c_str(), FILESAVETYPE_CORSET), 1);
        EXPECT_TRUE(client.TakeCodes().empty());
        figures.filesVerified += 15;
        EXPECT_EQ(client.Release(), 1);
    });
}

INSTANTIATE_TEST_SUITE_P(BothMedia, SavingOnAFullDisk, ::testing::Values(Medium::kSmallTmpfs, Medium::kFileSizeLimit),
                         [](const ::testing::TestParamInfo<Medium>& info) { return MediumName(info.param); });

// ---------------------------------------------------------------------------
// A recording split into one-frame files until the medium is full: only a
// file system that fills up (not a per-file limit) can show it.

TEST_F(DiskFault, ASplitRecordingStopsAtTheFirstFileThatDoesNotFit) {
    InChild(Medium::kSmallTmpfs, kTmpfsBytes, [&] {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 100);
        Client client;
        ASSERT_TRUE(client.Initialize());
        ASSERT_EQ(Calidra_SetParam(client.Handle(), 11, 0), 1);
        const std::filesystem::path path = medium / "split.avi";
        ASSERT_EQ(Calidra_RecA(client.Handle(), path.string().c_str(), 2), 1);
        ASSERT_EQ(Calidra_Preview(client.Handle()), 1);
        ASSERT_TRUE(client.WaitCode(ERR_FILE));
        EXPECT_TRUE(client.WaitFrames(10));
        EXPECT_EQ(client.Close(), 1);
        // Reported once: the files that would follow are not even tried.
        EXPECT_EQ(client.TakeCodes(), (std::vector<int>{ERR_UNSUPPORTED, ERR_FILE}));
        int files = 0;
        std::uint64_t frames = 0;
        for (const auto& entry : std::filesystem::directory_iterator(medium)) {
            const reliability::FileCheck check = reliability::CheckAvi(entry.path());
            EXPECT_TRUE(check.valid) << entry.path() << ": " << check.problem;
            EXPECT_LE(check.frames, 1u) << entry.path();
            frames += check.frames;
            ++files;
            ++figures.filesVerified;
        }
        // 4 MiB holds four one-frame files; the fifth gave its frame up for its index.
        EXPECT_EQ(files, 5);
        EXPECT_EQ(frames, 4u);
        EXPECT_EQ(client.Release(), 1);
    });
}

}  // namespace
}  // namespace calidra

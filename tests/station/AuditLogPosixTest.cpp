// The audit log when the system cuts a write short: a file size limit makes
// write() stop at the limit for real, as a full disk does.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "station/AuditLog.h"
#include "support/TempDir.h"

namespace mirvok::station {
namespace {

// The file size limit of this process, lowered for one append.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);  // a short write, not a killed test
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST(AuditLog, AWriteCutShortIsTakenBackAndTheNextRecordIsWhole) {
    const std::string before = "{\"a\":1}\n";
    const std::string record = "{\"start\":\"2026-12-07T18:25:14.857Z\",\"lines_sent\":1026}";
    struct Row {
        const char* name;
        rlim_t limit;
    };
    const Row rows[] = {
        {"cut short", before.size() + 20},
        {"one byte in", before.size() + 1},
        {"nothing in", before.size()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        const std::string log = dir.Write("audit.jsonl", before);
        {
            FileSizeLimit limit(row.limit);
            EXPECT_FALSE(AppendWholeRecord(log, record));
        }
        EXPECT_EQ(test::TempDir::Read(log), before);
        EXPECT_TRUE(AppendWholeRecord(log, record));
        EXPECT_EQ(test::TempDir::Read(log), before + record + "\n");
    }
}

}  // namespace
}  // namespace mirvok::station

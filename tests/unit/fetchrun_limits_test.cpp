// Fetchrun's pure transfer rules: the time and size limits of a download on a
// clock passed in, how the body reader paces its reads, and the descriptor a
// downloaded program is created with.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fetchrun/transfer/program_descriptor.h"
#include "fetchrun/transfer/read_pacer.h"
#include "fetchrun/transfer/transfer_limits.h"

namespace {

using namespace fetchrun;

// One step of a transfer at `ms`: the response (announcing `length` or not), or
// `bytes` arriving.
struct Step {
    enum Kind { Response, Arrive } kind;
    std::uint64_t ms;
    std::uint64_t bytes;
    bool announced = false;
    std::uint64_t length = 0;
};

Step RespondAt(std::uint64_t ms) { return {Step::Response, ms, 0}; }
Step RespondAt(std::uint64_t ms, std::uint64_t length) { return {Step::Response, ms, 0, true, length}; }
Step ArriveAt(std::uint64_t ms, std::uint64_t bytes) { return {Step::Arrive, ms, bytes}; }

TEST(FetchrunTransferLimits, EachLimitEndsATransferAtItsMoment) {
    struct Row {
        const char* name;
        bool settings;
        std::vector<Step> steps;  // the request starts at 1000 ms
        std::uint64_t checkMs;    // when no step broke a limit
        TransferLimit expected;
        std::uint64_t received;  // Received(), or WindowBytes() for TooSlow
    };
    const Row rows[] = {
        {"settings in time", true, {RespondAt(1500, 700), ArriveAt(1600, 700)}, 1700, TransferLimit::None, 700},
        {"no response yet", true, {}, 60999, TransferLimit::None, 0},
        {"no response in 60 s", true, {}, 61000, TransferLimit::NoResponse, 0},
        // Headers, 64 bytes, then silence: the stall, not the two-minute window.
        {"stalled body", true, {RespondAt(2000, 1000), ArriveAt(2000, 64)}, 62000, TransferLimit::Stalled, 64},
        {"not yet stalled", true, {RespondAt(2000, 1000), ArriveAt(2000, 64)}, 61999, TransferLimit::None, 64},
        {"stalled from the response", false, {RespondAt(2000)}, 62000, TransferLimit::Stalled, 0},
        // The settings trickle past their deadline: two minutes from the request.
        {"settings deadline",
         true,
         {RespondAt(2000), ArriveAt(31000, 1), ArriveAt(61000, 1), ArriveAt(91000, 1)},
         121000,
         TransferLimit::Deadline,
         3},
        // A program that trickles one byte every 30 s fails its first window.
        {"program trickle",
         false,
         {RespondAt(2000), ArriveAt(32000, 1), ArriveAt(62000, 1), ArriveAt(92000, 1)},
         122000,
         TransferLimit::TooSlow,
         3},
        {"program trickle, window not over", false, {RespondAt(2000), ArriveAt(92000, 1)}, 121999, TransferLimit::None,
         1},
        {"program at the minimum rate",
         false,
         {RespondAt(2000), ArriveAt(60000, 128 << 10), ArriveAt(121000, 128 << 10)},
         122000,
         TransferLimit::None,
         256 << 10},
        {"program below the minimum rate",
         false,
         {RespondAt(2000), ArriveAt(60000, 128 << 10), ArriveAt(121000, (128 << 10) - 1)},
         122000,
         TransferLimit::TooSlow,
         (256 << 10) - 1},
        {"a program has no deadline", false, {RespondAt(2000), ArriveAt(121000, 300 << 10)}, 150000,
         TransferLimit::None, 300 << 10},
        {"settings announced too large", true, {RespondAt(2000, (1 << 20) + 1)}, 2000, TransferLimit::TooLarge, 0},
        {"settings announced at the cap", true, {RespondAt(2000, 1 << 20)}, 2000, TransferLimit::None, 0},
        {"settings received too large",
         true,
         {RespondAt(2000), ArriveAt(3000, 1 << 20), ArriveAt(3001, 1)},
         3001,
         TransferLimit::TooLarge,
         (1 << 20) + 1},
        {"program announced too large", false, {RespondAt(2000, (256ull << 20) + 1)}, 2000, TransferLimit::TooLarge,
         0},
        {"program announced at the cap", false, {RespondAt(2000, 256ull << 20)}, 2000, TransferLimit::None, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TransferWatch watch(row.settings ? kSettingsLimits : kProgramLimits, 1000);
        TransferLimit seen = TransferLimit::None;
        for (const Step& step : row.steps) {
            if (step.kind == Step::Response) {
                watch.Responded(step.ms, step.announced, step.length);
            } else {
                watch.Arrived(step.ms, step.bytes);
            }
            // Checked as the worker does, after every event.
            seen = watch.Check(step.ms);
            if (seen != TransferLimit::None) break;
        }
        if (seen == TransferLimit::None) seen = watch.Check(row.checkMs);
        EXPECT_EQ(row.expected, seen);
        EXPECT_EQ(row.received, row.expected == TransferLimit::TooSlow ? watch.WindowBytes() : watch.Received());
    }
}

TEST(FetchrunTransferLimits, EveryWindowIsJudgedFromTheEndOfTheLast) {
    TransferWatch watch(kProgramLimits, 0);
    watch.Responded(0, false, 0);
    for (std::uint64_t ms : {1000, 60000, 110000}) watch.Arrived(ms, 100 << 10);
    EXPECT_EQ(TransferLimit::None, watch.Check(120000));  // first window: 300 KiB
    for (std::uint64_t ms : {170000, 200000}) watch.Arrived(ms, 100 << 10);
    EXPECT_EQ(TransferLimit::None, watch.Check(239999));
    EXPECT_EQ(TransferLimit::TooSlow, watch.Check(240000));  // second window: 200 KiB
    EXPECT_EQ(200u << 10, watch.WindowBytes());
}

TEST(FetchrunReadPacer, FullBlocksOnlyWhileTheBodyStreams) {
    struct Read {
        std::uint64_t startMs;
        std::uint64_t endMs;
        std::uint32_t bytes;
        bool streamingAfter;
    };
    struct Row {
        const char* name;
        std::vector<Read> reads;
    };
    const Row rows[] = {
        {"a body starts slow", {{0, 0, 8192, false}}},
        {"a full block within a second streams",
         {{0, 10, 8192, false}, {10, 500, 32768, false}, {500, 1000, 24575, true}}},
        {"a block spread over more than a second stays slow",
         {{0, 10, 32768, false}, {900, 1011, 32767, false}}},
        {"the burst starts anew after a second",
         {{0, 10, 60000, false}, {2000, 2010, 8192, false}, {2010, 2900, 57343, true}}},
        {"a slow full read ends streaming",
         {{0, 100, 65535, true}, {100, 300, 65535, true}, {300, 1300, 65535, false}, {1300, 1310, 100, false}}},
        {"trickle", {{0, 0, 1, false}, {0, 30000, 1, false}, {30000, 60000, 1, false}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ReadPacer pacer;
        EXPECT_FALSE(pacer.Streaming());
        for (std::size_t i = 0; i < row.reads.size(); ++i) {
            const Read& read = row.reads[i];
            pacer.Read(read.startMs, read.endMs, read.bytes);
            EXPECT_EQ(read.streamingAfter, pacer.Streaming()) << "after read " << i;
        }
    }
}

TEST(FetchrunReadPacer, ReadsWhatHasArrivedUpToABlock) {
    EXPECT_EQ(64u, ReadPacer::SizeFor(64));
    EXPECT_EQ(65535u, ReadPacer::SizeFor(65535));
    EXPECT_EQ(65535u, ReadPacer::SizeFor(200000));
    EXPECT_EQ(65535u, ReadPacer::SizeFor(0));  // nothing (or the end): a full read tells which
}

TEST(FetchrunProgramDescriptor, UserReadsRunsAndDeletesOnlyAndTheOwnerGainsNothing) {
    struct Row {
        const wchar_t* sid;
        const wchar_t* descriptor;
    };
    const Row rows[] = {
        {L"S-1-5-21-1004336348-1177238915-682003330-1001",
         L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFXSD;;;S-1-5-21-1004336348-1177238915-682003330-1001)(A;;FRFX;;;OW)"},
        {L"S-1-5-21-0-0-0-1000", L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFXSD;;;S-1-5-21-0-0-0-1000)(A;;FRFX;;;OW)"},
        // Nothing but a SID text gets into the descriptor.
        {L"", L""},
        {L"S-1-", L""},
        {L"S-1-5-", L""},
        {L"S-1-5-21-1)(A;;FA;;;WD", L""},
        {L"S-1-5-S-1", L""},
        {L"WD", L""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.descriptor, ProgramFileDescriptor(row.sid));
    }
}

}  // namespace

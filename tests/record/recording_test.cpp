#include "record/recording.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "drivers/linuxdvb/dvb_errors.h"
#include "graph/bda_graph.h"
#include "graph/tuner_session.h"
#include "platform/com/error_info.h"
#include "platform/media/media_types.h"
#include "platform/media/wait_until.h"
#include "sink/dest_filter.h"
#include "sink/dump_input_pin.h"
#include "sink/record_file.h"
#include "support/recording_graph.h"
#include "support/temp_folder.h"
#include "support/test_source_filter.h"
#include "test_dvr.h"

namespace {

constexpr LONG kSampleSize = 188 * 4;

// Sample i holds a length that varies (0 included) and bytes that tell its index and offset.
LONG FillSample(BYTE* buffer, std::uint64_t index) {
    const LONG length = index % 7 == 3 ? 0 : kSampleSize - static_cast<LONG>(index % 5) * 17;
    for (LONG k = 0; k < length; ++k)
        buffer[k] = static_cast<BYTE>(index * 31 + static_cast<std::uint64_t>(k));
    return length;
}

std::string ExpectedBytes(std::uint64_t first, std::uint64_t count) {
    std::string bytes;
    BYTE buffer[kSampleSize];
    for (std::uint64_t i = first; i < first + count; ++i) {
        const LONG length = FillSample(buffer, i);
        bytes.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
    }
    return bytes;
}

// A graph of a sample source, the infinite pin tee and the sink, as a tuner session of the test's
// own holds it.
class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override { MakeRecordingGraph(m_session); }
    void TearDown() override {
        m_session.ReleaseGraph();
        Record().m_RecordFile.Close();
        Record().m_bRecordFileOpen = false;
    }

    CBDAGraph& Graph() { return m_session.m_BDAGraph; }
    RecordState& Record() { return m_session.m_Record; }

    // The source delivers `samples` samples (then ends) each time the graph runs.
    void BuildGraph(std::uint64_t samples) {
        m_pSource =
            new CTestSourceFilter(media::TransportStreamType(), 4, kSampleSize,
                                  [samples](BYTE* buffer, LONG, std::uint64_t index) -> LONG {
                                      return index < samples ? FillSample(buffer, index) : -1;
                                  });
        ASSERT_TRUE(ConnectSourceThroughTeeToSink(m_session, m_pSource.Get()));
    }
    void WaitForSource(std::uint64_t samples) {
        ASSERT_TRUE(WaitUntil(
            [&] { return m_pSource->SamplesDelivered() >= samples && !m_pSource->IsStreaming(); }));
    }

    CTunerSession m_session;
    CTempFolder m_folder;
    ComPtr<CTestSourceFilter> m_pSource;
};

TEST_F(RecordingTest, WritesEverySampleUnchangedAndInArrivalOrder) {
    BuildGraph(60);
    SetRecordFilePath(m_session, m_folder.File("a.ts"));
    ASSERT_EQ(StartRecording(m_session), 0);
    WaitForSource(60);
    StopRecording(m_session);
    EXPECT_EQ(ReadWholeFile(m_folder.File("a.ts")), ExpectedBytes(0, 60));
    EXPECT_FALSE(Record().m_bRecordFileOpen);
}

TEST_F(RecordingTest, SamplesBeforeTheFirstStartAreDroppedAndTheDefaultFileStaysEmpty) {
    BuildGraph(20);
    OpenRecordFile(m_session, m_folder.File("default.ts"));
    ASSERT_TRUE(Record().m_bRecordFileOpen);
    Graph().m_pGraphControl->Run();
    WaitForSource(20);
    EXPECT_EQ(GetRecordedKBytes(m_session), 0u);
    EXPECT_EQ(ReadWholeFile(m_folder.File("default.ts")), "");
    EXPECT_FALSE(Graph().m_pSinkFilter->m_pInputPin->IsArmed());
}

TEST_F(RecordingTest, TheHeldFileKeepsItsBytesUntilARecordingIntoItStarts) {
    BuildGraph(10);
    WriteWholeFile(m_folder.File("b.ts"), "an earlier recording");
    OpenRecordFile(m_session, m_folder.File("b.ts"));
    ASSERT_TRUE(Record().m_bRecordFileOpen);
    // Starting the program again must not destroy a recording left at the default path.
    EXPECT_EQ(ReadWholeFile(m_folder.File("b.ts")), "an earlier recording");
    SetRecordFilePath(m_session, m_folder.File("b.ts"));
    ASSERT_EQ(StartRecording(m_session), 0);
    WaitForSource(10);
    EXPECT_EQ(ReadWholeFile(m_folder.File("b.ts")), ExpectedBytes(0, 10)) << "emptied by the start";
    ASSERT_EQ(StartRecording(m_session), 0);
    EXPECT_EQ(ReadWholeFile(m_folder.File("b.ts")), "") << "a second start truncates";
}

TEST_F(RecordingTest, NothingIsWrittenAfterStopEvenWhenTheGraphRunsAgain) {
    BuildGraph(8);
    SetRecordFilePath(m_session, m_folder.File("c.ts"));
    ASSERT_EQ(StartRecording(m_session), 0);
    WaitForSource(8);
    StopRecording(m_session);
    const std::string recorded = ReadWholeFile(m_folder.File("c.ts"));
    Graph().m_pGraphControl->Run();
    WaitForSource(8);
    Graph().m_pGraphControl->Stop();
    EXPECT_EQ(ReadWholeFile(m_folder.File("c.ts")), recorded);
    EXPECT_TRUE(Graph().m_pSinkFilter->m_pInputPin->IsArmed()) << "stop leaves the pin armed";
}

TEST_F(RecordingTest, SizesAreTheBytesWrittenCountedInFullBeyondFourGibibytes) {
    BuildGraph(0);
    // A device has no size of its own; the count is what a size limit needs for every target.
    SetRecordFilePath(m_session, "/dev/null");
    EXPECT_EQ(GetRecordedKBytes(m_session), 0u) << "no file open";
    ASSERT_EQ(StartRecording(m_session), 0);
    static const std::vector<std::uint8_t> block(1 << 20, 0x47);
    Record().m_RecordFile.Write(block.data(), 1023);
    EXPECT_EQ(GetRecordedKBytes(m_session), 0u);
    Record().m_RecordFile.Write(block.data(), 1025);
    EXPECT_EQ(GetRecordedKBytes(m_session), 2u);
    for (int i = 0; i < 5 * 1024; ++i) Record().m_RecordFile.Write(block.data(), block.size());
    EXPECT_EQ(GetRecordedKBytes(m_session), 5u * 1024 * 1024 + 2);
    StopRecording(m_session);
    ASSERT_EQ(StartRecording(m_session), 0);
    EXPECT_EQ(GetRecordedKBytes(m_session), 0u) << "each recording counts from 0";
    StopRecording(m_session);
}

TEST(RecordedPercentTest, ALimitIsPassedAtTheFirstKilobyteAboveOneHundredPercentOfIt) {
    struct Case {
        std::uint32_t limitMB;
        std::uint64_t lastAtLimit;  // KB that still are 100 %
        std::uint64_t firstPast;    // KB that are 101 %, which ends a recording
    };
    const std::vector<Case> cases = {
        {500, 517119, 517120},    {50, 51711, 51712},
        {4096, 4236247, 4236248},                                  // a file beyond 4 GiB
        {5000, 5171199, 5171200}, {800000, 827391999, 827392000},  // KB x 100 needs 64 bits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limitMB);
        EXPECT_EQ(RecordedPercent(0, c.limitMB), 0u);
        EXPECT_EQ(RecordedPercent(c.lastAtLimit / 2, c.limitMB), 50u);
        EXPECT_EQ(RecordedPercent(std::uint64_t{c.limitMB} * 1024, c.limitMB), 100u);
        EXPECT_EQ(RecordedPercent(c.lastAtLimit, c.limitMB), 100u);
        EXPECT_EQ(RecordedPercent(c.firstPast, c.limitMB), 101u);
    }
}

TEST_F(RecordingTest, NoOtherOpenerGetsTheFileWhileItIsHeld) {
    BuildGraph(0);
    OpenRecordFile(m_session, m_folder.File("held.ts"));
    const int other = ::open(m_folder.File("held.ts").c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    EXPECT_NE(::flock(other, LOCK_SH | LOCK_NB), 0);
    EXPECT_EQ(errno, EWOULDBLOCK);
    CRecordFile second;
    EXPECT_FALSE(second.Open(m_folder.File("held.ts")));
    EXPECT_EQ(second.OpenError(), EWOULDBLOCK);
    ::close(other);
}

TEST_F(RecordingTest, ADeviceEveryProgramWritesIsNotHeldForOneRecording) {
    CRecordFile first;
    CRecordFile second;
    ASSERT_TRUE(first.Open("/dev/null"));
    EXPECT_TRUE(second.Open("/dev/null")) << "another recording into /dev/null is no conflict";
    const int other = ::open("/dev/null", O_WRONLY);
    ASSERT_GE(other, 0);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << "nor is any other program's lock";
    ::close(other);
}

TEST_F(RecordingTest, AFileThatCannotBeCreatedIsReportedAndNothingIsWritten) {
    BuildGraph(5);
    SetRecordFilePath(m_session, m_folder.File("missing/folder.ts"));
    EXPECT_EQ(StartRecording(m_session), ENOENT);
    EXPECT_FALSE(Record().m_bRecordFileOpen);
    WaitForSource(5);
    EXPECT_EQ(GetRecordedKBytes(m_session), 0u);
    StopRecording(m_session);
}

TEST_F(RecordingTest, APipeThatNothingReadsIsRefusedAtOnce) {
    BuildGraph(0);
    const std::string pipe = m_folder.File("pipe.ts");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    SetRecordFilePath(m_session, pipe);
    EXPECT_EQ(StartRecording(m_session), ENXIO)
        << "an open that waits for a reader would freeze the window";
    EXPECT_FALSE(Record().m_bRecordFileOpen);
    StopRecording(m_session);
}

TEST_F(RecordingTest, APipeWithASlowReaderGetsEveryByte) {
    BuildGraph(400);
    const std::string pipe = m_folder.File("pipe.ts");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    SetRecordFilePath(m_session, pipe);
    // The reader starts late, so the pipe fills up: the writes must wait for it, not fail.
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(::fcntl(reader, F_SETFL, 0), 0);
    const std::string expected = ExpectedBytes(0, 400);
    std::string received;
    std::thread drain([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        char buffer[4096];
        while (received.size() < expected.size()) {
            pollfd ready{reader, POLLIN, 0};
            if (::poll(&ready, 1, 5000) <= 0) break;  // bytes that never come fail the test below
            const ssize_t n = ::read(reader, buffer, sizeof buffer);
            if (n <= 0) break;
            received.append(buffer, static_cast<std::size_t>(n));
        }
    });
    ASSERT_EQ(StartRecording(m_session), 0);
    WaitForSource(400);
    drain.join();
    StopRecording(m_session);
    ::close(reader);
    EXPECT_EQ(GetRecordWriteError(m_session), 0);
    EXPECT_TRUE(received == expected)
        << "received " << received.size() << " of " << expected.size() << " bytes";
}

TEST_F(RecordingTest, AFailingWriteStopsTheSinkAndIsReported) {
    BuildGraph(6);
    SetRecordFilePath(m_session, "/dev/full");
    ASSERT_EQ(StartRecording(m_session), 0);
    WaitForSource(6);
    EXPECT_EQ(GetRecordWriteError(m_session), ENOSPC);
    StopRecording(m_session);
    SetRecordFilePath(m_session, m_folder.File("after.ts"));
    ASSERT_EQ(StartRecording(m_session), 0);
    EXPECT_EQ(GetRecordWriteError(m_session), 0)
        << "a new recording starts without the old failure";
    StopRecording(m_session);
}

TEST_F(RecordingTest, WithoutAGraphStartAndStopDoNothing) {
    m_session.ReleaseGraph();
    SetRecordFilePath(m_session, m_folder.File("none.ts"));
    EXPECT_EQ(StartRecording(m_session), 0);
    StopRecording(m_session);
    EXPECT_EQ(::access(m_folder.File("none.ts").c_str(), F_OK), -1);
}

TEST_F(RecordingTest, StartAndStopWhileSamplesStreamLoseNoByteOfARecording) {
    // An endless source: every recording must hold whole samples in order.
    m_pSource =
        new CTestSourceFilter(media::TransportStreamType(), 4, kSampleSize,
                              [](BYTE* buffer, LONG, std::uint64_t index) -> LONG {
                                  std::this_thread::sleep_for(std::chrono::microseconds(200));
                                  return FillSample(buffer, index);
                              });
    ASSERT_TRUE(ConnectSourceThroughTeeToSink(m_session, m_pSource.Get()));
    SetRecordFilePath(m_session, m_folder.File("loop.ts"));
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(StartRecording(m_session), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        StopRecording(m_session);
        const std::string bytes = ReadWholeFile(m_folder.File("loop.ts"));
        // The file starts at a sample boundary (armed before the run) and holds consecutive
        // samples.
        std::uint64_t index = 0;
        std::size_t offset = 0;
        BYTE buffer[kSampleSize];
        while (offset < bytes.size()) {
            const LONG length = FillSample(buffer, index++);
            ASSERT_LE(offset + static_cast<std::size_t>(length), bytes.size()) << "round " << round;
            ASSERT_EQ(bytes.compare(offset, static_cast<std::size_t>(length),
                                    std::string(reinterpret_cast<const char*>(buffer),
                                                static_cast<std::size_t>(length))),
                      0)
                << "round " << round << " sample " << index - 1;
            offset += static_cast<std::size_t>(length);
        }
    }
}

// Recordings on the Linux capture filter, which the session's graph holds as its receiver device,
// reading a dvr the test feeds.
class RecordingOnCardTest : public RecordingTest {
protected:
    void BuildOnCapture(ComPtr<linuxdvb::CLinuxDvbCaptureFilter> capture) {
        m_pCapture = std::move(capture);
        Graph().m_pReceiverDevice = static_cast<IBaseFilter*>(m_pCapture.Get());
        ASSERT_TRUE(ConnectSourceThroughTeeToSink(m_session, m_pCapture.Get()));
    }
    // Until every chunk pushed was read and `samples` samples were passed on since the start.
    void WaitForCapture(std::uint64_t samples) {
        ASSERT_TRUE(WaitUntil([&] {
            return m_pFeed->Pending() == 0 &&
                   m_pCapture->OutputPin()->SamplesDelivered() >= samples;
        }));
    }

    std::shared_ptr<CTestDvrFeed> m_pFeed = std::make_shared<CTestDvrFeed>();
    ComPtr<linuxdvb::CLinuxDvbCaptureFilter> m_pCapture;
};

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(RecordingOnCardTest, OverrunsDuringARecordingCountWithTheBufferTheCardTookPerOverrun) {
    // The card asked for 64 MiB and got 16 MiB: an overrun loses at least the buffer it has.
    BuildOnCapture(MakeTestCapture(m_pFeed, 64u << 20, 16u << 20));
    // An overrun while the graph runs without a recording belongs to no recording.
    ASSERT_EQ(Graph().m_pGraphControl->Run(), S_OK);
    m_pFeed->Push({{}, EOVERFLOW});
    ASSERT_TRUE(WaitUntil([&] { return m_pCapture->OutputPin()->Overflows() == 1; }));
    Graph().m_pGraphControl->Stop();

    SetRecordFilePath(m_session, m_folder.File("gaps.ts"));
    ASSERT_EQ(StartRecording(m_session), 0);
    EXPECT_EQ(GetRecordStreamLoss(m_session).overruns, 0u);
    const std::vector<std::uint8_t> broken = TestPackets(1, 999);
    m_pFeed->Push({TestPackets(348, 0), 0});
    m_pFeed->Push({{broken.begin(), broken.begin() + 60}, 0});  // the start of a packet
    m_pFeed->Push({{}, EOVERFLOW});
    m_pFeed->Push({TestPackets(348, 1000), 0});
    m_pFeed->Push({{}, EOVERFLOW});
    m_pFeed->Push({TestPackets(348, 2000), 0});
    WaitForCapture(3);
    EXPECT_EQ(GetRecordStreamLoss(m_session).overruns, 2u) << "known while the recording runs";
    StopRecording(m_session);
    const RecordStreamLoss loss = GetRecordStreamLoss(m_session);
    EXPECT_EQ(loss.overruns, 2u);
    // Each overrun lost the buffer at least, less the read before it (it may have taken its bytes
    // after the overrun began): the broken packet's 60 bytes, which were dropped, and a sample.
    EXPECT_EQ(loss.bytesLost, 2 * (16u << 20) - 65'424);
    const std::vector<std::uint8_t> expected =
        Join({TestPackets(348, 0), TestPackets(348, 1000), TestPackets(348, 2000)});
    EXPECT_TRUE(ReadWholeFile(m_folder.File("gaps.ts")) ==
                std::string(expected.begin(), expected.end()))
        << "whole packets on both sides of each gap";

    // The next recording counts from its own start.
    ASSERT_EQ(StartRecording(m_session), 0);
    m_pFeed->Push({TestPackets(348, 3000), 0});
    WaitForCapture(4);
    StopRecording(m_session);
    EXPECT_EQ(GetRecordStreamLoss(m_session).overruns, 0u);
    EXPECT_EQ(GetRecordStreamLoss(m_session).bytesLost, 0u);
}

struct RunFailureCase {
    const char* name;
    HRESULT hr;
    const char* description;  // what the opening leaves for the thread; "" for nothing
    const char* file;
    int result;
    const char* failure;
};

TEST_F(RecordingOnCardTest, AStreamTheCardCannotOpenFailsTheStartWithWhatTheCardSaid) {
    constexpr const char* kBusy =
        "The stream of the tuner Vantor DVB-S2 is read by another program: vlc (process 4242). "
        "Close that program and start again.";
    const std::vector<RunFailureCase> cases = {
        {"busy", linuxdvb::kDeviceBusy, kBusy, "busy.ts", kRecordGraphNotRunning, kBusy},
        // A description left by an earlier failure never explains this one.
        {"without words", E_FAIL, "", "plain.ts", kRecordGraphNotRunning,
         "the tuner's stream did not start (error 0x80004005)."},
        // The file's failure is the answer; the graph's is known all the same.
        {"file too", linuxdvb::kDeviceBusy, kBusy, "missing/busy.ts", ENOENT, kBusy},
    };
    for (const RunFailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_session.ReleaseGraph();
        MakeRecordingGraph(m_session);
        BuildOnCapture(MakeRefusingCapture(c.hr, c.description));
        com::SetErrorDescription("an earlier failure's words");
        SetRecordFilePath(m_session, m_folder.File(c.file));
        EXPECT_EQ(StartRecording(m_session), c.result);
        EXPECT_EQ(GetRecordRunFailure(m_session), c.failure);
        EXPECT_FALSE(com::TakeErrorDescription()) << "taken by the start";
        StopRecording(m_session);
        EXPECT_TRUE(Graph().m_pSinkFilter->IsStopped());
        EXPECT_FALSE(Record().m_bRecordFileOpen);
        EXPECT_EQ(GetRecordStreamLoss(m_session).overruns, 0u);
    }
    // A stream that opens: no failure, whatever an earlier one left.
    m_session.ReleaseGraph();
    MakeRecordingGraph(m_session);
    BuildOnCapture(MakeTestCapture(m_pFeed, 16u << 20, 16u << 20));
    com::SetErrorDescription("an earlier failure's words");
    SetRecordFilePath(m_session, m_folder.File("fine.ts"));
    ASSERT_EQ(StartRecording(m_session), 0);
    EXPECT_EQ(GetRecordRunFailure(m_session), "");
    StopRecording(m_session);
}

// The record file on its own, as the streaming thread writes it and the control thread stops it.
class RecordFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::mkfifo(m_strPipe.c_str(), 0600), 0); }
    // A reader that has the pipe open and takes nothing unless asked.
    int OpenReader() {
        const int reader = ::open(m_strPipe.c_str(), O_RDONLY | O_NONBLOCK);
        EXPECT_GE(reader, 0);
        return reader;
    }
    static std::uint64_t Drain(int reader) {
        std::uint64_t total = 0;
        char buffer[65536];
        for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
            total += static_cast<std::uint64_t>(n);
        return total;
    }

    CTempFolder m_folder;
    const std::string m_strPipe = m_folder.File("pipe.ts");
    const std::vector<std::uint8_t> m_sample = std::vector<std::uint8_t>(65424, 0x47);
};

TEST_F(RecordFileTest, AReleasedWaitForAStalledReaderGivesUpAndCountsWhatWasNotWritten) {
    const int reader = OpenReader();
    CRecordFile file;
    ASSERT_TRUE(file.Open(m_strPipe));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 3; ++i) file.Write(m_sample.data(), m_sample.size());
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return file.BytesWritten() >= m_sample.size(); }));
    // A writer blocked in write() sends no signal: 100 ms let one that does not wait finish.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done) << "the writer waits for the reader";
    const auto released = std::chrono::steady_clock::now();
    {
        const CRecordFile::CWaitRelease release(file);
        writer.join();
    }
    const auto waited = std::chrono::steady_clock::now() - released;
    EXPECT_GE(waited, std::chrono::milliseconds(CRecordFile::kReleaseGraceMs - 10))
        << "the reader gets its grace";
    EXPECT_LT(waited, std::chrono::seconds(1));
    EXPECT_EQ(file.WriteError(), ECANCELED);
    const std::uint64_t inPipe = Drain(reader);
    EXPECT_EQ(file.BytesWritten(), inPipe);
    EXPECT_EQ(file.BytesLost(), 3 * m_sample.size() - inPipe)
        << "the rest of the sample and the one after";
    // After the release, a new recording into the pipe waits for its reader again.
    ASSERT_TRUE(file.Open(m_strPipe));
    EXPECT_EQ(file.WriteError(), 0);
    EXPECT_EQ(file.BytesLost(), 0u);
    std::thread slowReader([&] {
        std::uint64_t taken = 0;
        while (taken < 4 * m_sample.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            taken += Drain(reader);
        }
    });
    for (int i = 0; i < 4; ++i) file.Write(m_sample.data(), m_sample.size());
    slowReader.join();
    EXPECT_EQ(file.WriteError(), 0);
    EXPECT_EQ(file.BytesWritten(), 4 * m_sample.size());
    ::close(reader);
}

TEST_F(RecordFileTest, AReaderThatKeepsReadingLosesNothingToARelease) {
    const int reader = OpenReader();
    CRecordFile file;
    ASSERT_TRUE(file.Open(m_strPipe));
    std::atomic<std::uint64_t> taken{0};
    std::atomic<bool> stop{false};
    std::thread slowReader([&] {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            taken += Drain(reader);
        }
        taken += Drain(reader);
    });
    {
        const CRecordFile::CWaitRelease release(file);  // the stop of the graph, during the writes
        for (int i = 0; i < 8; ++i) file.Write(m_sample.data(), m_sample.size());
    }
    stop = true;
    slowReader.join();
    EXPECT_EQ(file.WriteError(), 0);
    EXPECT_EQ(taken.load(), 8 * m_sample.size());
    ::close(reader);
}

TEST_F(RecordFileTest, AReaderThatGoesAwayIsAFailureToReportNotTheEndOfTheProgram) {
    const int reader = OpenReader();
    CRecordFile file;
    ASSERT_TRUE(file.Open(m_strPipe));
    file.Write(m_sample.data(), 1000);
    ::close(reader);
    file.Write(m_sample.data(),
               m_sample.size());  // without its own handling, SIGPIPE ends the process
    EXPECT_EQ(file.WriteError(), EPIPE);
    EXPECT_EQ(file.BytesWritten(), 1000u);
    EXPECT_EQ(file.BytesLost(), m_sample.size());
    file.Write(m_sample.data(), 10);
    EXPECT_EQ(file.BytesLost(), m_sample.size() + 10) << "later samples are counted as lost too";
}

TEST_F(RecordFileTest, AFileDeletedWhileOpenIsNoticedAndTakesNoMoreData) {
    std::filesystem::create_directory(m_folder.File("sub"));
    const std::string path = m_folder.File("sub/capture.ts");
    CRecordFile file;
    ASSERT_TRUE(file.Open(path));
    file.Write(m_sample.data(), 188);
    file.CheckDeleted();
    EXPECT_EQ(file.WriteError(), 0) << "still named";
    // A move keeps the file: nothing is lost.
    ASSERT_EQ(::rename(path.c_str(), m_folder.File("moved.ts").c_str()), 0);
    file.CheckDeleted();
    EXPECT_EQ(file.WriteError(), 0);
    std::filesystem::remove(m_folder.File("moved.ts"));
    std::filesystem::remove_all(m_folder.File("sub"));
    file.CheckDeleted();
    EXPECT_EQ(file.WriteError(), ENOENT);
    file.Write(m_sample.data(), 188);
    EXPECT_EQ(file.BytesWritten(), 188u);
    EXPECT_EQ(file.BytesLost(), 188u);
    // A pipe or a device has no name to lose.
    CRecordFile device;
    ASSERT_TRUE(device.Open("/dev/null"));
    device.CheckDeleted();
    EXPECT_EQ(device.WriteError(), 0);
}

TEST(DestFilterTest, OffersOneInputPinWithTheStreamTypeAtPositionZero) {
    HRESULT hr = S_OK;
    RecordState record;
    auto* filter = new CDestFilter(nullptr, &record, &hr);
    static_cast<IBaseFilter*>(filter)
        ->AddRef();  // the owner's reference, as the graph object holds it
    EXPECT_EQ(filter->GetPinCount(), 1);
    EXPECT_EQ(filter->GetPin(0), filter->m_pInputPin);
    EXPECT_EQ(filter->GetPin(1), nullptr);
    EXPECT_EQ(filter->GetPin(-1), nullptr);
    EXPECT_EQ(filter->GetSetupData(), nullptr);
    EXPECT_EQ(filter->m_pInputPin->Name(), L"Input");

    AM_MEDIA_TYPE mt;
    EXPECT_EQ(filter->m_pInputPin->GetMediaType(-1, &mt), E_INVALIDARG);
    EXPECT_EQ(filter->m_pInputPin->GetMediaType(1, &mt), VFW_S_NO_MORE_ITEMS);
    ASSERT_EQ(filter->m_pInputPin->GetMediaType(0, &mt), S_OK);
    EXPECT_EQ(mt.majortype, MEDIATYPE_Stream);
    EXPECT_EQ(mt.subtype, GUID_NULL);
    EXPECT_EQ(mt.bFixedSizeSamples, TRUE);
    EXPECT_EQ(mt.bTemporalCompression, FALSE);
    EXPECT_EQ(mt.lSampleSize, 188u);
    EXPECT_EQ(mt.formattype, GUID_NULL);
    EXPECT_TRUE(mt.format.empty());
    AM_MEDIA_TYPE anything;
    anything.majortype = com::MakeGuid("{12345678-0000-0000-0000-000000000000}");
    EXPECT_EQ(filter->m_pInputPin->CheckMediaType(&anything), S_OK);
    EXPECT_EQ(filter->m_pInputPin->ReceiveCanBlock(), S_FALSE);
    EXPECT_EQ(filter->m_pInputPin->NewSegment(0, 100, 2.0), S_OK);
    EXPECT_EQ(filter->m_pInputPin->EndOfStream(), S_OK);

    EXPECT_EQ(filter->NonDelegatingQueryInterface(IID_IBaseFilter, nullptr), E_POINTER);
    void* object = nullptr;
    const IID setupInterface = com::MakeGuid("{A3D8CEC0-7E5A-11CF-BBC5-00805F6CEF20}");
    EXPECT_EQ(filter->NonDelegatingQueryInterface(setupInterface, &object), E_NOINTERFACE);
    EXPECT_EQ(filter->NonDelegatingQueryInterface(IMediaFilter::kIid, &object), S_OK);
    static_cast<IMediaFilter*>(object)->Release();

    delete filter->m_pInputPin;
    delete filter;
}

}  // namespace

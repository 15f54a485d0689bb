// The sample ring: counts, wrapping copies, zero filling, and one writer
// with one reader on two threads.
#include "ChunkScaler.h"
#include "RingBuffer.h"
#include "TestMain.h"

#include <numeric>
#include <thread>
#include <vector>

class TestRingBuffer : public QObject
{
    Q_OBJECT

private slots:
    void countsAndCopies_data();
    void countsAndCopies();
    void emptyReadZeroFills();
    void fullBufferRefusesWrites();
    void wrapsAcrossTheEnd();
    void readInPlaceAcrossTheEnd();
    void scaledChunkAcrossTheEnd_data();
    void scaledChunkAcrossTheEnd();
    void writerAndReaderOnTwoThreads();
};

void TestRingBuffer::countsAndCopies_data()
{
    QTest::addColumn<uint>("capacity");
    QTest::addColumn<uint>("start");     // all cursors placed here first
    QTest::addColumn<uint>("written");   // values offered to Write
    QTest::addColumn<uint>("read");      // values asked of Read
    QTest::addColumn<uint>("accepted");  // Write's result
    QTest::addColumn<uint>("copied");    // Read's result
    QTest::addColumn<uint>("usedAfter"); // Used(0) at the end

    QTest::newRow("empty read") << 16u << 0u << 0u << 5u << 0u << 0u << 0u;
    QTest::newRow("read 5 of 3") << 16u << 0u << 3u << 5u << 3u << 3u << 0u;
    QTest::newRow("read part") << 16u << 4u << 10u << 4u << 10u << 4u << 6u;
    QTest::newRow("write more than free") << 16u << 0u << 20u << 0u << 15u << 0u << 15u;
    QTest::newRow("write more than free, wrapped") << 16u << 9u << 40u << 0u << 15u << 0u << 15u;
    QTest::newRow("across the end") << 64u << 54u << 30u << 30u << 30u << 30u << 0u;
    QTest::newRow("exactly to the end") << 16u << 6u << 10u << 10u << 10u << 10u << 0u;
    QTest::newRow("capacity 1 holds nothing") << 1u << 0u << 3u << 3u << 0u << 0u << 0u;
}

void TestRingBuffer::countsAndCopies()
{
    QFETCH(uint, capacity);
    QFETCH(uint, start);
    QFETCH(uint, written);
    QFETCH(uint, read);
    QFETCH(uint, accepted);
    QFETCH(uint, copied);
    QFETCH(uint, usedAfter);

    RingBuffer<int, 1> ring(capacity);
    ring.SetCursorsForTest(start);
    std::vector<int> src(written);
    std::iota(src.begin(), src.end(), 1);
    QCOMPARE(ring.Write(src.data(), written), accepted);
    QCOMPARE(ring.Used(0), accepted);
    QCOMPARE(ring.Free(), capacity - 1 - accepted);

    std::vector<int> dst(read, -1);
    QCOMPARE(ring.Read(dst.data(), read, 0), copied);
    for (uint i = 0; i < read; ++i) {
        // Real values in order, zeros past them.
        QCOMPARE(dst[i], i < copied ? int(i + 1) : 0);
    }
    QCOMPARE(ring.Used(0), usedAfter);
    QCOMPARE(ring.ReadCursor(0), (start + copied) % capacity);
}

void TestRingBuffer::emptyReadZeroFills()
{
    RingBuffer<int, 1> ring(1048576);
    QCOMPARE(ring.Used(0), 0u);
    int dst[5] = {7, 7, 7, 7, 7};
    QCOMPARE(ring.Read(dst, 5, 0), 0u);
    for (int value : dst) {
        QCOMPARE(value, 0);
    }
    QCOMPARE(ring.ReadCursor(0), 0u);
}

void TestRingBuffer::fullBufferRefusesWrites()
{
    RingBuffer<int, 1> ring(1048576);
    QCOMPARE(ring.Free(), 1048575u);
    std::vector<int> src(1048576, 3);
    QCOMPARE(ring.Write(src.data(), 1048575), 1048575u);
    QCOMPARE(ring.Free(), 0u);
    QCOMPARE(ring.Write(src.data(), 1), 0u);
    QCOMPARE(ring.Used(0), 1048575u);

    ring.Reset();
    QCOMPARE(ring.Used(0), 0u);
    QCOMPARE(ring.Free(), 1048575u);
    QCOMPARE(ring.WriteCursor(), 0u);
}

void TestRingBuffer::wrapsAcrossTheEnd()
{
    // Write cursor 10 before the end with room for 30: 10 values at the end,
    // 20 at slots 0..19. Values are copied bit for bit.
    RingBuffer<int, 1> ring(100);
    ring.SetCursorsForTest(90);
    std::vector<int> src(30);
    for (int i = 0; i < 30; ++i) {
        src[size_t(i)] = int(0x80000000u + uint32_t(i) * 0x01234567u);
    }
    QCOMPARE(ring.Write(src.data(), 30), 30u);
    QCOMPARE(ring.WriteCursor(), 20u);
    std::vector<int> dst(30);
    QCOMPARE(ring.Read(dst.data(), 30, 0), 30u);
    QCOMPARE(dst, src);
    QCOMPARE(ring.ReadCursor(0), 20u);
}

void TestRingBuffer::readInPlaceAcrossTheEnd()
{
    // 30 values from slot 90 of 100: handed over as 10 + 20, in order, and
    // their slots freed only after both runs; asking for more takes what is
    // there.
    RingBuffer<int, 1> ring(100);
    ring.SetCursorsForTest(90);
    std::vector<int> src(30);
    for (int i = 0; i < 30; ++i) {
        src[size_t(i)] = 1000 + i;
    }
    QCOMPARE(ring.Write(src.data(), 30), 30u);
    std::vector<int> seen;
    std::vector<uint32_t> runs;
    std::vector<uint32_t> freeDuring;
    const uint32_t got = ring.ReadInPlace(40, 0, [&](const int* values, uint32_t count) {
        runs.push_back(count);
        freeDuring.push_back(ring.Free());
        seen.insert(seen.end(), values, values + count);
    });
    QCOMPARE(got, 30u);
    QCOMPARE(seen, src);
    QCOMPARE(runs, (std::vector<uint32_t>{10, 20}));
    QCOMPARE(freeDuring, (std::vector<uint32_t>{69, 69}));
    QCOMPARE(ring.Used(0), 0u);
    QCOMPARE(ring.ReadCursor(0), 20u);
    QCOMPARE(ring.ReadInPlace(5, 0, [](const int*, uint32_t) { QFAIL("nothing to hand over"); }), 0u);
}

void TestRingBuffer::scaledChunkAcrossTheEnd_data()
{
    QTest::addColumn<bool>("stereo");
    QTest::addColumn<uint32_t>("start");
    QTest::addColumn<uint32_t>("count");
    QTest::newRow("stereo, no wrap") << true << 0u << 12u;
    QTest::newRow("stereo, cut between frames") << true << 10u << 12u;
    QTest::newRow("stereo, cut inside a frame") << true << 11u << 12u;
    QTest::newRow("stereo, odd count cut inside a frame") << true << 13u << 11u;
    QTest::newRow("stereo, one value before the end") << true << 15u << 12u;
    QTest::newRow("mono, wrap") << false << 11u << 12u;
}

void TestRingBuffer::scaledChunkAcrossTheEnd()
{
    // Wherever the ring's end cuts a chunk, the encoder's buffers get what a
    // plain copy and convert would give: left/right from the pairs, scaled by
    // 2^-16, a trailing odd value ignored in the frame count only.
    QFETCH(bool, stereo);
    QFETCH(uint32_t, start);
    QFETCH(uint32_t, count);
    RingBuffer<int, 1> ring(16);
    ring.SetCursorsForTest(start);
    std::vector<int> src(count);
    for (uint32_t i = 0; i < count; ++i) {
        src[i] = int(0x7F800000u - i * 0x00100000u) * (i % 3 == 0 ? -1 : 1);
    }
    QCOMPARE(ring.Write(src.data(), count), count);
    std::vector<float> left(16, -1.0f);
    std::vector<float> right(16, -1.0f);
    QCOMPARE(ring.ReadInPlace(count, 0, ChunkScaler(left.data(), stereo ? right.data() : nullptr)), count);
    const uint32_t frames = stereo ? count / 2 : count;
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t l = stereo ? 2 * i : i;
        QCOMPARE(left[i], float(src[l]) / 65536.0f);
        if (stereo) {
            QCOMPARE(right[i], float(src[l + 1]) / 65536.0f);
        }
    }
    QVERIFY(stereo || right[0] == -1.0f);
}

void TestRingBuffer::writerAndReaderOnTwoThreads()
{
    // A small ring forces many wraps; the reader must see every value once,
    // in order.
    RingBuffer<int, 1> ring(1021);
    constexpr int kTotal = 2000000;
    std::thread writer([&ring] {
        std::vector<int> block(97);
        int next = 0;
        while (next < kTotal) {
            const int count = std::min<int>(int(block.size()), kTotal - next);
            for (int i = 0; i < count; ++i) {
                block[size_t(i)] = next + i;
            }
            uint32_t done = 0;
            while (done < uint32_t(count)) {
                done += ring.Write(block.data() + done, uint32_t(count) - done);
            }
            next += count;
        }
    });
    std::vector<int> chunk(113);
    int expected = 0;
    bool inOrder = true;
    while (expected < kTotal) {
        const uint32_t got = ring.Read(chunk.data(), uint32_t(chunk.size()), 0);
        for (uint32_t i = 0; i < got; ++i) {
            inOrder = inOrder && chunk[i] == expected;
            ++expected;
        }
    }
    writer.join();
    QVERIFY(inOrder);
    QCOMPARE(ring.Used(0), 0u);
}

TARNWICK_TEST_MAIN(TestRingBuffer)
#include "tst_ringbuffer.moc"

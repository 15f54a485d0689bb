// One join task: the ordered source files, the output path and format, and
// the stage flags that the threads of the task share.
#pragma once

#include "RingBuffer.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class CJoinRun;

// One source file of a task.
struct CFileToBeJoin
{
    QString m_strPath;          // full path of the source file
    uint32_t m_nSampleRate = 0; // Hz
    uint32_t m_nChannels = 0;
    uint64_t m_nSamples = 0; // interleaved sample values (frames x channels)
};

// The only output format the encode stage writes.
inline constexpr int32_t kOutputFormatMp3 = 2;

class CConversionTask : public std::enable_shared_from_this<CConversionTask>
{
public:
    // Empty strings, all numbers 0, a new empty file array.
    CConversionTask();
    // Copies share the file array; the busy flags are copied by value.
    CConversionTask(const CConversionTask& other);
    CConversionTask& operator=(const CConversionTask& other);
    ~CConversionTask() = default;

    // The per-file driver (task thread): starts the encode thread, decodes
    // every file into the decode ring (through a conversion thread per file
    // when m_bConvert). Nonzero for success. Must be called on a task owned by
    // a std::shared_ptr, since the stage threads keep it alive.
    int Join(CJoinRun& run);
    // Decodes m_strSourcePath into the decode ring (task thread). 1 when the
    // file was read, 0 when it gave nothing (the reason is logged).
    int Decode(CJoinRun& run);
    // Converts the current file from the decode ring into the convert ring
    // (conversion thread). Returns 1.
    int Convert(CJoinRun& run);
    // Encodes m_pEncoderInput into the output file (encode thread). 1 when
    // the stream was opened, fed and closed, 0 when it could not start.
    int Encode(CJoinRun& run);

    // Seconds of output audio that nSamples interleaved values last.
    float SecondsOf(uint64_t nSamples) const;

    QString m_strSourcePath;        // file being decoded (set per file by Join)
    uint32_t m_nSourceRate = 0;     // largest source rate, then the current file's
    uint32_t m_nSourceChannels = 0; // largest source channel count, then the current file's
    std::shared_ptr<std::vector<CFileToBeJoin>> m_pFiles; // source files in join order
    QString m_strOutputPath;                              // full path of the output MP3
    int32_t m_nOutputFormat = 0;                          // always kOutputFormatMp3 after BuildTask
    uint32_t m_nOutputRate = 0;                           // Hz
    uint32_t m_nOutputChannels = 0;                       // 1 or 2
    uint64_t m_nTotalSamples = 0;                         // expected interleaved output values of the task
    int32_t m_bConvert = 0;                               // every file goes through the conversion stage

    // Busy flags, each stored by the thread that owns the activity, with
    // release ordering, and loaded with acquire ordering.
    std::atomic<int32_t> m_bDriverBusy{0};
    std::atomic<int32_t> m_bEncoderBusy{0};
    std::atomic<int32_t> m_bConverterBusy{0};
    std::atomic<int32_t> m_bDecoderBusy{0};

    RingBuffer<int, 1>* m_pEncoderInput = nullptr; // convert ring when m_bConvert, else decode ring

    // Set by the task thread: the output name was made unique and created
    // exclusively, so it cannot be one of the sources.
    int32_t m_bFreshOutput = 0;
    // Files of this task whose decode failed (task thread only).
    int32_t m_nFailedFiles = 0;

private:
    void CopyFrom(const CConversionTask& other);
    int JoinFiles(CJoinRun& run);
    void LogFailedSource(CJoinRun& run, int kind);
};

// The first of 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000
// that is not below nRate; 48000 above that.
uint32_t PickAutoRate(uint32_t nRate);

// Fills a task from the ordered source files, the channel mode code
// (0 automatic, 1 mono, else stereo) and the frequency index (0 automatic,
// else an entry of the rate table): output rate and channels, the expected
// total and whether conversion is needed.
CConversionTask BuildTask(const std::vector<CFileToBeJoin>& files, int nChannelMode, int nFreqIndex);

// The task being joined (set by Join, cleared when the task has run). Worker
// threads are handed their task and never read this.
extern std::atomic<CConversionTask*> g_pCurrentTask;

// The join task record, building a task from the chosen files, and the
// seconds of audio a count of values lasts.
#include "ConversionTask.h"

#include "Settings.h"

#include <cmath>

std::atomic<CConversionTask*> g_pCurrentTask{nullptr};

namespace {

constexpr uint32_t kAutoRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

} // namespace

CConversionTask::CConversionTask() : m_pFiles(std::make_shared<std::vector<CFileToBeJoin>>()) {}

CConversionTask::CConversionTask(const CConversionTask& other)
    : std::enable_shared_from_this<CConversionTask>()
{
    CopyFrom(other);
}

CConversionTask& CConversionTask::operator=(const CConversionTask& other)
{
    if (this != &other) {
        CopyFrom(other);
    }
    return *this;
}

void CConversionTask::CopyFrom(const CConversionTask& other)
{
    m_strSourcePath = other.m_strSourcePath;
    m_nSourceRate = other.m_nSourceRate;
    m_nSourceChannels = other.m_nSourceChannels;
    m_pFiles = other.m_pFiles;
    m_strOutputPath = other.m_strOutputPath;
    m_nOutputFormat = other.m_nOutputFormat;
    m_nOutputRate = other.m_nOutputRate;
    m_nOutputChannels = other.m_nOutputChannels;
    m_nTotalSamples = other.m_nTotalSamples;
    m_bConvert = other.m_bConvert;
    m_bDriverBusy.store(other.m_bDriverBusy.load(std::memory_order_acquire), std::memory_order_release);
    m_bEncoderBusy.store(other.m_bEncoderBusy.load(std::memory_order_acquire), std::memory_order_release);
    m_bConverterBusy.store(other.m_bConverterBusy.load(std::memory_order_acquire), std::memory_order_release);
    m_bDecoderBusy.store(other.m_bDecoderBusy.load(std::memory_order_acquire), std::memory_order_release);
    m_pEncoderInput = other.m_pEncoderInput;
    m_bFreshOutput = other.m_bFreshOutput;
    m_nFailedFiles = other.m_nFailedFiles;
}

float CConversionTask::SecondsOf(uint64_t nSamples) const
{
    const double perSecond = double(m_nOutputChannels) * double(m_nOutputRate);
    if (perSecond <= 0.0) {
        return 0.0f;
    }
    return static_cast<float>(double(nSamples) / perSecond);
}

uint32_t PickAutoRate(uint32_t nRate)
{
    for (uint32_t rate : kAutoRates) {
        if (rate >= nRate) {
            return rate;
        }
    }
    return 48000;
}

CConversionTask BuildTask(const std::vector<CFileToBeJoin>& files, int nChannelMode, int nFreqIndex)
{
    CConversionTask task;
    task.m_nOutputFormat = kOutputFormatMp3;
    task.m_bConvert = 0;
    for (const CFileToBeJoin& file : files) {
        task.m_pFiles->push_back(file);
        task.m_nSourceRate = std::max(task.m_nSourceRate, file.m_nSampleRate);
        task.m_nSourceChannels = std::max(task.m_nSourceChannels, file.m_nChannels);
        task.m_strSourcePath = file.m_strPath;
    }

    if (nChannelMode == 0) {
        // Automatic: mono only when every source is mono (and there is one).
        task.m_nOutputChannels = task.m_nSourceChannels == 1 ? 1 : 2;
    } else if (nChannelMode == 1) {
        task.m_nOutputChannels = 1;
    } else {
        task.m_nOutputChannels = 2;
    }

    const int nRates = int(sizeof(k_aFreqTable) / sizeof(k_aFreqTable[0]));
    if (nFreqIndex > 0 && nFreqIndex < nRates) {
        task.m_nOutputRate = uint32_t(k_aFreqTable[nFreqIndex]);
    } else {
        task.m_nOutputRate = PickAutoRate(task.m_nSourceRate);
    }

    const double outPerSecond = double(task.m_nOutputRate) * double(task.m_nOutputChannels);
    uint64_t total = 0;
    for (const CFileToBeJoin& file : files) {
        const double inPerSecond = double(file.m_nSampleRate) * double(file.m_nChannels);
        if (inPerSecond > 0.0) {
            const double ratio = outPerSecond / inPerSecond;
            total = static_cast<uint64_t>(std::trunc(double(total) + double(file.m_nSamples) * ratio));
        }
        if (file.m_nSampleRate != task.m_nOutputRate || file.m_nChannels != task.m_nOutputChannels) {
            task.m_bConvert = 1;
        }
    }
    total -= total % task.m_nOutputChannels;
    task.m_nTotalSamples = total;
    return task;
}

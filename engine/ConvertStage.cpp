// The conversion stage: one file's decoded values from the decode ring
// through a libsox chain (input -> channels -> rate -> output) into the
// convert ring.
#include "ConversionTask.h"
#include "JoinLibraries.h"
#include "JoinRings.h"
#include "JoinRun.h"

#include "TickCount.h"

#include <sox.h>

#include <charconv>
#include <cstdarg>
#include <cstdlib>
#include <mutex>

namespace {

// What the chain's own two callbacks work on. One chain runs at a time, on
// its conversion thread; the callbacks run on that thread too.
struct ChainContext
{
    CJoinRun* run = nullptr;
    CConversionTask* task = nullptr;
    RingBuffer<int, 1>* input = nullptr;
    RingBuffer<int, 1>* output = nullptr;
};

thread_local ChainContext* t_pChain = nullptr;

void IgnoreSoxMessage(unsigned, const char*, const char*, va_list) {}

// The source of the chain: asked for up to *osamp values.
int InputDrain(sox_effect_t* effp, sox_sample_t* obuf, size_t* osamp) noexcept
{
    ChainContext* chain = t_pChain;
    if (!chain) {
        *osamp = 0;
        return SOX_EOF;
    }
    const size_t channels = std::max<size_t>(effp->out_signal.channels, 1);
    // Whole frames only; no request is larger than a ring can hold.
    size_t wanted = std::min<size_t>(*osamp, chain->input->Capacity() - 1);
    wanted -= wanted % channels;
    while (chain->run->IsRunning()) {
        const uint32_t avail = chain->input->Used(0);
        // The flag is looked at after the count: values written before the
        // decoder went idle are seen by the read below.
        if (avail >= wanted || !chain->task->m_bDecoderBusy.load(std::memory_order_acquire)) {
            const uint32_t n = chain->input->Read(obuf, uint32_t(wanted), 0);
            *osamp = n;
            return n > 0 ? SOX_SUCCESS : SOX_EOF;
        }
        Sleep(1);
    }
    *osamp = 0;
    return SOX_EOF;
}

// The sink of the chain: given *isamp values, passes nothing on.
int OutputFlow(sox_effect_t*, const sox_sample_t* ibuf, sox_sample_t*, size_t* isamp, size_t* osamp) noexcept
{
    ChainContext* chain = t_pChain;
    *osamp = 0;
    if (!chain) {
        return SOX_EOF;
    }
    const size_t count = *isamp;
    if (count >= chain->output->Capacity()) {
        return SOX_EOF;
    }
    while (chain->run->IsRunning()) {
        if (chain->output->Free() >= count) {
            const uint32_t written = chain->output->Write(ibuf, uint32_t(count));
            return written < count ? SOX_EOF : SOX_SUCCESS;
        }
        Sleep(1);
    }
    return SOX_EOF;
}

const sox_effect_handler_t* InputHandler()
{
    static const sox_effect_handler_t handler = {"input", nullptr,    SOX_EFF_MCHAN, nullptr, nullptr,
                                                 nullptr, InputDrain, nullptr,       nullptr, 0};
    return &handler;
}

const sox_effect_handler_t* OutputHandler()
{
    static const sox_effect_handler_t handler = {"output",   nullptr, SOX_EFF_MCHAN, nullptr, nullptr,
                                                 OutputFlow, nullptr, nullptr,       nullptr, 0};
    return &handler;
}

// Adds one effect to the chain. The chain keeps its own copy of the effect
// record, which is freed here either way.
bool AddEffect(sox_effects_chain_t* chain, sox_effect_t* effect, sox_signalinfo_t* in,
               const sox_signalinfo_t* out)
{
    if (!effect) {
        return false;
    }
    const bool added = sox_add_effect(chain, effect, in, out) == SOX_SUCCESS;
    free(effect);
    return added;
}

// A library effect ("channels", "rate") with one numeric option.
sox_effect_t* MakeEffect(const char* name, uint32_t value)
{
    const sox_effect_handler_t* handler = sox_find_effect(name);
    sox_effect_t* effect = handler ? sox_create_effect(handler) : nullptr;
    if (!effect) {
        return nullptr;
    }
    // libsox wants writable option strings.
    char text[16] = {};
    std::to_chars(text, text + sizeof(text) - 1, value);
    char* args[] = {text};
    if (sox_effect_options(effect, 1, args) != SOX_SUCCESS) {
        free(effect);
        return nullptr;
    }
    return effect;
}

// Builds and runs the chain; false when it could not be built.
bool RunChain(CConversionTask& task)
{
    sox_encodinginfo_t encoding = {};
    encoding.encoding = SOX_ENCODING_SIGN2;
    encoding.bits_per_sample = 32;
    encoding.compression = 0;
    encoding.reverse_bytes = sox_option_no;
    encoding.reverse_nibbles = sox_option_no;
    encoding.reverse_bits = sox_option_no;
    encoding.opposite_endian = sox_false;

    sox_signalinfo_t in = {};
    in.rate = double(task.m_nSourceRate);
    in.channels = task.m_nSourceChannels;
    in.precision = 32;
    in.length = SOX_UNKNOWN_LEN;
    in.mult = nullptr;
    const sox_signalinfo_t out = in;

    sox_effects_chain_t* chain = sox_create_effects_chain(&encoding, &encoding);
    if (!chain) {
        return false;
    }
    // Resampling fewer channels costs less: a mono file that becomes stereo
    // is resampled first and then copied to both channels, which gives the
    // same values as the other order; a downmix comes before the rate change.
    const bool changeChannels = task.m_nOutputChannels != task.m_nSourceChannels;
    const bool changeRate = task.m_nOutputRate != task.m_nSourceRate;
    const bool upmix = task.m_nOutputChannels > task.m_nSourceChannels;
    bool built = AddEffect(chain, sox_create_effect(InputHandler()), &in, &in);
    if (built && changeChannels && !upmix) {
        built = AddEffect(chain, MakeEffect("channels", task.m_nOutputChannels), &in, &out);
    }
    if (built && changeRate) {
        built = AddEffect(chain, MakeEffect("rate", task.m_nOutputRate), &in, &out);
    }
    if (built && changeChannels && upmix) {
        built = AddEffect(chain, MakeEffect("channels", task.m_nOutputChannels), &in, &out);
    }
    if (built) {
        built = AddEffect(chain, sox_create_effect(OutputHandler()), &in, &out);
    }
    if (built) {
        sox_flow_effects(chain, nullptr, nullptr);
    }
    sox_delete_effects_chain(chain);
    return built;
}

} // namespace

bool InitSoxOnce()
{
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        sox_get_globals()->output_message_handler = IgnoreSoxMessage;
        sox_get_globals()->verbosity = 0;
        started = sox_init() == SOX_SUCCESS;
        sox_get_globals()->output_message_handler = IgnoreSoxMessage;
    });
    return started;
}

int CConversionTask::Convert(CJoinRun& run)
{
    m_bConverterBusy.store(1, std::memory_order_release);
    ChainContext context{&run, this, g_pDecodeRing, g_pConvertRing};
    t_pChain = &context;
    const bool ran = InitSoxOnce() && RunChain(*this);
    t_pChain = nullptr;
    if (!ran && run.IsRunning()) {
        run.Log(QStringLiteral("An error occurred while converting ") + m_strSourcePath, LOG_ERROR);
        run.StopRun();
    }
    m_bConverterBusy.store(0, std::memory_order_release);
    return 1;
}

void CJoinRun::ConvertThreadProc(std::shared_ptr<CJoinRun> run, std::shared_ptr<CConversionTask> task)
{
    try {
        task->Convert(*run);
    } catch (...) {
        run->StopRun();
        run->Log(QStringLiteral("An error occurred while converting ") + task->m_strSourcePath, LOG_ERROR);
    }
    task->m_bConverterBusy.store(0, std::memory_order_release);
}

// The encoder library lame_enc.so: where it is loaded from, its entry points
// and the configuration record the engine hands it.
#pragma once

#include "BladeEnc.h"

#include <QString>

#include <array>
#include <cstdint>

// The folder lame_enc.so is loaded from first (by default the executable's
// folder); then the library is looked for by name.
void SetEncoderFolder(const QString& folder);
QString EncoderFolder();

// The library's entry points, looked up by name. The library is loaded once
// per task and never unloaded.
struct CEncoderLibrary
{
    BeInitStreamFn pInitStream = nullptr;
    BeEncodeChunkFloatS16NIFn pEncodeChunk = nullptr;
    BeDeinitStreamFn pDeinitStream = nullptr;
    BeCloseStreamFn pCloseStream = nullptr;
    BeWriteInfoTagFn pWriteInfoTag = nullptr; // optional
    BeWriteVBRHeaderFn pWriteVBRHeader = nullptr;

    // Loads the library; false when it cannot be loaded.
    bool Load();
    // Looks up the entry points; false when a required one is missing.
    bool Resolve();

private:
    void* m_hLibrary = nullptr;
};

using EncoderConfig = std::array<unsigned char, BE_CONFIG_SIZE>;

// The 331-byte record for an output of nRate Hz and nChannels channels with
// the channel mode code (LameChannel) and bit-rate index (LameBits).
EncoderConfig BuildEncoderConfig(uint32_t nRate, uint32_t nChannels, int nLameChannel, int nLameBits);

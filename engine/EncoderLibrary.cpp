// Loading lame_enc.so and filling its configuration record.
#include "EncoderLibrary.h"

#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <dlfcn.h>
#include <mutex>

namespace {

std::mutex g_folderMutex;
QString g_strEncoderFolder;
bool g_bFolderSet = false;

template <typename Fn> Fn Lookup(void* library, const char* name)
{
    return reinterpret_cast<Fn>(dlsym(library, name));
}

} // namespace

void SetEncoderFolder(const QString& folder)
{
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_strEncoderFolder = folder;
    g_bFolderSet = true;
}

QString EncoderFolder()
{
    {
        std::lock_guard<std::mutex> lock(g_folderMutex);
        if (g_bFolderSet) {
            return g_strEncoderFolder;
        }
    }
    return QCoreApplication::applicationDirPath();
}

bool CEncoderLibrary::Load()
{
    const QString folder = EncoderFolder();
    if (!folder.isEmpty()) {
        const QString path = QDir(folder).filePath(QStringLiteral(BE_LIBRARY_NAME));
        m_hLibrary = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!m_hLibrary) {
        m_hLibrary = dlopen(BE_LIBRARY_NAME, RTLD_NOW | RTLD_LOCAL);
    }
    return m_hLibrary != nullptr;
}

bool CEncoderLibrary::Resolve()
{
    if (!m_hLibrary) {
        return false;
    }
    pInitStream = Lookup<BeInitStreamFn>(m_hLibrary, BE_INIT_STREAM_NAME);
    pEncodeChunk = Lookup<BeEncodeChunkFloatS16NIFn>(m_hLibrary, BE_ENCODE_CHUNK_NAME);
    pDeinitStream = Lookup<BeDeinitStreamFn>(m_hLibrary, BE_DEINIT_STREAM_NAME);
    pCloseStream = Lookup<BeCloseStreamFn>(m_hLibrary, BE_CLOSE_STREAM_NAME);
    pWriteInfoTag = Lookup<BeWriteInfoTagFn>(m_hLibrary, BE_WRITE_INFO_TAG_NAME);
    pWriteVBRHeader = Lookup<BeWriteVBRHeaderFn>(m_hLibrary, BE_WRITE_VBR_HEADER_NAME);
    return pInitStream && pEncodeChunk && pDeinitStream && pCloseStream && pWriteVBRHeader;
}

EncoderConfig BuildEncoderConfig(uint32_t nRate, uint32_t nChannels, int nLameChannel, int nLameBits)
{
    EncoderConfig record{};
    BeClearConfig(record.data());
    BePutInt32(record.data(), BE_OFS_SAMPLE_RATE, int32_t(nRate));
    int32_t mode = BE_MODE_JSTEREO;
    if (nChannels == 1) {
        mode = BE_MODE_MONO;
    } else if (nLameChannel == 2) {
        mode = BE_MODE_STEREO;
    } else if (nLameChannel == 4) {
        mode = BE_MODE_DUALCHANNEL;
    }
    BePutInt32(record.data(), BE_OFS_MODE, mode);
    const int nRates = int(sizeof(k_aBitrateTable) / sizeof(k_aBitrateTable[0]));
    const int index = nLameBits >= 0 && nLameBits < nRates ? nLameBits : CSettings().LameBits;
    BePutInt32(record.data(), BE_OFS_BITRATE, k_aBitrateTable[index]);
    BePutInt32(record.data(), BE_OFS_PRESET, BE_PRESET_NONE);
    BePutInt32(record.data(), BE_OFS_MPEG_VERSION, 1);
    BePutInt32(record.data(), BE_OFS_WRITE_VBR_HEADER, 1);
    BePutInt32(record.data(), BE_OFS_NO_RESERVOIR, 1);
    BePutInt16(record.data(), BE_OFS_QUALITY, BeQualityWord(9));
    return record;
}

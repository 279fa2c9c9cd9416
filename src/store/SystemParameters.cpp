#include "store/SystemParameters.h"

#include <cerrno>
#include <mutex>

#include "platform/FileIo.h"
#include "store/IniFile.h"

namespace {

const char* const kSection = "SYS_PARA";

std::string channelKey(int c, const char* what) {
    return "Channel" + std::to_string(c + 1) + what;
}

enum class FileState { Readable, Missing, Unusable };

FileState probe(const std::string& path) {
    FileInfo st;
    if (const int e = StatPath(path, st); e != 0)
        return (e == ENOENT) ? FileState::Missing : FileState::Unusable;
    if (st.kind != FileKind::Regular || CheckReadable(path) != 0)
        return FileState::Unusable;
    return FileState::Readable;
}

} // namespace

SystemParameters& Params() {
    static SystemParameters params;
    return params;
}

SharedGate& StationStateGate() {
    static SharedGate gate;
    return gate;
}

void ResetParameters() {
    std::unique_lock changing(StationStateGate());
    Params() = SystemParameters{};
}

std::string DataFilePath(const std::string& name) {
    std::string dir = Params().workDir.empty() ? std::string(".") : Params().workDir;
    if (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir == "/" ? dir + name : dir + "/" + name;
}

std::string ParametersPath() {
    return DataFilePath("Para.ini");
}

bool WriteDefaultParameters() {
    std::unique_lock changing(StationStateGate());
    SystemParameters& p = Params();
    ProfileBatch b(ParametersPath());
    // One atomic write of the complete file instead of an empty file filled key by key.
    b.clear();
    const char* ids[SystemParameters::kChannels] = {"Com1", "Com2"};
    const int32_t ones[SystemParameters::kChannels] = {0, 32};
    for (int c = 0; c < SystemParameters::kChannels; ++c) {
        WriteIniString(b, kSection, channelKey(c, "ComID"), ids[c]);
        WriteIniInt(b, kSection, channelKey(c, "ComSum"), 32);
        WriteIniInt(b, kSection, channelKey(c, "ComOne"), ones[c]);
        WriteIniInt(b, kSection, channelKey(c, "ComSpeed"), 3);
    }
    WriteIniInt(b, kSection, "ListColor", kDefaultListColor);
    WriteIniInt(b, kSection, "FontBKColor", kDefaultFontBkColor);
    WriteIniInt(b, kSection, "FontColor", kDefaultFontColor);
    WriteIniString(b, kSection, "FilePath", p.workDir);
    if (!b.commit())
        return false;
    for (int c = 0; c < SystemParameters::kChannels; ++c) {
        p.comId[c] = ids[c];
        p.comSum[c] = 32;
        p.comOne[c] = ones[c];
        p.comSpeed[c] = 3;
    }
    p.listColor = kDefaultListColor;
    p.fontBkColor = kDefaultFontBkColor;
    p.fontColor = kDefaultFontColor;
    p.filePath = p.workDir;
    return true;
}

bool LoadParameters() {
    const std::string path = ParametersPath();
    switch (probe(path)) {
    case FileState::Readable:
        break;
    case FileState::Missing:
        if (!WriteDefaultParameters())
            return false;
        break;
    case FileState::Unusable:
        // Exists but cannot be read: overwriting it with the defaults would lose the operator's
        // settings.
        return false;
    }
    std::unique_lock changing(StationStateGate());
    SystemParameters& p = Params();
    ProfileReader r(path);
    for (int c = 0; c < SystemParameters::kChannels; ++c) {
        p.comId[c] = ReadIniString(r, kSection, channelKey(c, "ComID"));
        p.comSum[c] = ReadIniInt(r, kSection, channelKey(c, "ComSum"));
        p.comOne[c] = ReadIniInt(r, kSection, channelKey(c, "ComOne"));
        p.comSpeed[c] = ReadIniInt(r, kSection, channelKey(c, "ComSpeed"));
        // The Parameter Setting dialog writes the mode; reading it back keeps it across runs.
        p.comMode[c] = ReadIniInt(r, kSection, channelKey(c, "ComMode"));
    }
    p.listColor = ReadIniInt(r, kSection, "ListColor");
    p.fontBkColor = ReadIniInt(r, kSection, "FontBKColor");
    p.fontColor = ReadIniInt(r, kSection, "FontColor");
    p.filePath = ReadIniString(r, kSection, "FilePath");
    return true;
}

bool SaveChannelParameters() {
    const SystemParameters& p = Params();
    ProfileBatch b(ParametersPath());
    for (int c = 0; c < SystemParameters::kChannels; ++c) {
        WriteIniString(b, kSection, channelKey(c, "ComID"), p.comId[c]);
        WriteIniInt(b, kSection, channelKey(c, "ComSum"), p.comSum[c]);
        WriteIniInt(b, kSection, channelKey(c, "ComOne"), p.comOne[c]);
        WriteIniInt(b, kSection, channelKey(c, "ComSpeed"), p.comSpeed[c]);
        WriteIniInt(b, kSection, channelKey(c, "ComMode"), p.comMode[c]);
    }
    return b.commit();
}

bool SaveFilePath(const std::string& folder) {
    if (!WriteIniString(kSection, "FilePath", folder, ParametersPath()))
        return false;
    std::unique_lock changing(StationStateGate());
    Params().filePath = folder;
    return true;
}

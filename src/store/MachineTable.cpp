#include "store/MachineTable.h"

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "platform/FileIo.h"
#include "store/IniFile.h"
#include "store/NodeNumbers.h"
#include "store/SystemParameters.h"

const char* const kMachineTextTooLong = "Length Cannot Exceeds 20 ASCII Bytes.";
const char* const kMachineTextCaption = "Please Modify";

namespace {

std::string sectionOf(int channel) {
    return "RTU_PARA" + std::to_string(channel + 1);
}

} // namespace

std::string MachineTablePath() {
    return DataFilePath("RTU.ini");
}

bool WriteDefaultMachineTable() {
    ProfileBatch b(MachineTablePath());
    b.clear();
    for (int i = 0; i < SystemParameters::kNodes; ++i)
        for (int c = 0; c < SystemParameters::kChannels; ++c) {
            std::string n = std::to_string(i);
            WriteIniString(b, sectionOf(c), "RTU_Name" + n, "");
            WriteIniString(b, sectionOf(c), "RTU_Type" + n, "");
            WriteIniInt(b, sectionOf(c), "RTU_Visible" + n, 0);
        }
    return b.commit();
}

bool LoadMachineTable() {
    const std::string path = MachineTablePath();
    FileInfo st;
    if (const int e = StatPath(path, st); e != 0) {
        if (e != ENOENT || !WriteDefaultMachineTable())
            return false;
    } else {
        // An existing file we cannot read is left alone rather than replaced by the defaults.
        if (st.kind != FileKind::Regular || CheckReadable(path) != 0)
            return false;
    }
    std::unique_lock changing(StationStateGate());
    SystemParameters& p = Params();
    ProfileReader r(path);
    for (int c = 0; c < SystemParameters::kChannels; ++c)
        for (int i = 0; i < SystemParameters::kNodes; ++i) {
            std::string n = std::to_string(i);
            p.machineName[c][i] = ReadIniString(r, sectionOf(c), "RTU_Name" + n);
            p.machineType[c][i] = ReadIniString(r, sectionOf(c), "RTU_Type" + n);
            p.machineVisible[c][i] = ReadIniInt(r, sectionOf(c), "RTU_Visible" + n);
        }
    return true;
}

int MachineRowCount(int channel) {
    if (channel < 0 || channel >= SystemParameters::kChannels)
        return 0;
    return std::clamp(Params().comSum[channel], 0, SystemParameters::kNodes);
}

std::vector<MachineRow> BuildMachineRows() {
    const SystemParameters& p = Params();
    std::vector<MachineRow> rows;
    for (int c = 0; c < SystemParameters::kChannels; ++c)
        for (int j = 0; j < MachineRowCount(c); ++j) {
            MachineRow r;
            r.channel = c;
            r.node = j;
            r.hidden = p.machineVisible[c][j] == 1;
            r.nodeText = NodeLabelText(p.comOne[c], j);
            r.channelText = p.comId[c];
            r.machine = p.machineName[c][j];
            r.model = p.machineType[c][j];
            rows.push_back(std::move(r));
        }
    return rows;
}

MachineRowsCheck ValidateMachineRows(const std::vector<MachineRow>& rows) {
    MachineRowsCheck check;
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string* bad = nullptr;
        if (rows[i].machine.size() > kMachineTextMaxBytes)
            bad = &rows[i].machine;
        else if (rows[i].model.size() > kMachineTextMaxBytes)
            bad = &rows[i].model;
        if (bad) {
            check.ok = false;
            check.row = static_cast<int>(i);
            check.message = *bad + kMachineTextTooLong;
            check.caption = kMachineTextCaption;
            return check;
        }
    }
    return check;
}

bool SaveMachineRows(const std::vector<MachineRow>& rows, MachineRowsCheck* check) {
    MachineRowsCheck result = ValidateMachineRows(rows);
    if (check)
        *check = result;
    if (!result.ok)
        return false;
    const auto valid = [](const MachineRow& r) {
        return r.channel >= 0 && r.channel < SystemParameters::kChannels && r.node >= 0 &&
               r.node < SystemParameters::kNodes;
    };
    ProfileBatch b(MachineTablePath());
    for (const MachineRow& r : rows) {
        if (!valid(r))
            continue;
        std::string n = std::to_string(r.node);
        WriteIniString(b, sectionOf(r.channel), "RTU_Name" + n, r.machine);
        WriteIniString(b, sectionOf(r.channel), "RTU_Type" + n, r.model);
        WriteIniInt(b, sectionOf(r.channel), "RTU_Visible" + n, r.hidden ? 1 : 0);
    }
    // The table in memory follows the file: a row the file could not keep is not shown either.
    if (!b.commit())
        return false;
    std::unique_lock changing(StationStateGate());
    SystemParameters& p = Params();
    for (const MachineRow& r : rows) {
        if (!valid(r))
            continue;
        p.machineName[r.channel][r.node] = r.machine;
        p.machineType[r.channel][r.node] = r.model;
        p.machineVisible[r.channel][r.node] = r.hidden ? 1 : 0;
    }
    return true;
}

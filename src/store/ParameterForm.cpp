#include "store/ParameterForm.h"

#include <cctype>
#include <cstdlib>
#include <mutex>

const char* const kSpeedEntries[kSpeedEntryCount] = {"19200 bps", "38400 bps", "57600 bps",
                                                     "115200 bps"};
const char* const kModeEntries[kModeEntryCount] = {"1", "2", "3", "4", "5", "6", "7", "8"};

const char* const kParameterCaption = "Prompting";
const char* const kEnterIntegerText = "Please enter an integer.";
const char* const kEnterIntegerRangeText = "Please enter an integer between %1 and %2.";
const char* const kParameterBusyText = "Task is doing, please waiting!";
const char* const kParameterWriteErrorCaption = "Error";
const char* const kParameterWriteErrorText = "System Write Error, Modification Lost!";

namespace {

constexpr int kChannels = SystemParameters::kChannels;

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    if (prefix.size() > text.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

bool isDevicePath(const std::string& name) {
    return !name.empty() && name.front() == '/';
}

std::string replaceFirst(std::string text, const std::string& what, const std::string& with) {
    size_t at = text.find(what);
    if (at != std::string::npos)
        text.replace(at, what.size(), with);
    return text;
}

ParameterCheck bad(int field, const char* text, std::vector<std::string> args = {}) {
    ParameterCheck c;
    c.ok = false;
    c.field = field;
    c.message = text;
    for (size_t i = 0; i < args.size(); ++i)
        c.message = replaceFirst(c.message, "%" + std::to_string(i + 1), args[i]);
    c.messageText = text;
    c.messageArgs = std::move(args);
    c.caption = kParameterCaption;
    return c;
}

} // namespace

std::vector<std::string> PortEntries(const std::string& configured) {
    std::vector<std::string> entries;
    for (int n = 1; n <= 9; ++n)
        entries.push_back("COM" + std::to_string(n));
    if (isDevicePath(configured))
        entries.push_back(configured);
    return entries;
}

int PortEntryIndex(const std::vector<std::string>& entries, const std::string& configured) {
    if (configured.empty())
        return -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        // Device paths are compared exactly: file names are case-sensitive.
        bool match = isDevicePath(configured) ? entries[i] == configured
                                              : startsWithNoCase(entries[i], configured);
        if (match)
            return static_cast<int>(i);
    }
    return -1;
}

ParameterForm ParameterFormFromParams() {
    const SystemParameters& p = Params();
    ParameterForm f;
    for (int c = 0; c < kChannels; ++c) {
        f.portEntries[c] = PortEntries(p.comId[c]);
        f.port[c] = PortEntryIndex(f.portEntries[c], p.comId[c]);
        f.nodeNumber[c] = std::to_string(p.comSum[c]);
        f.firstNumber[c] = std::to_string(p.comOne[c]);
        f.speed[c] = (p.comSpeed[c] >= 0 && p.comSpeed[c] < kSpeedEntryCount) ? p.comSpeed[c] : -1;
        f.mode[c] = (p.comMode[c] >= 0 && p.comMode[c] < kModeEntryCount) ? p.comMode[c] : -1;
    }
    return f;
}

bool ParseDialogInteger(const std::string& text, int32_t* value) {
    size_t i = 0;
    const size_t n = text.size();
    auto blank = [&](size_t k) { return text[k] == ' ' || text[k] == '\t'; };
    while (i < n && blank(i))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const size_t digitsFrom = i;
    int64_t v = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<int64_t>(INT32_MAX) + 1)
            return false;
        ++i;
    }
    if (i == digitsFrom)
        return false;
    while (i < n && blank(i))
        ++i;
    if (i != n)
        return false;
    if (negative)
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(v);
    return true;
}

ParameterCheck CheckParameterForm(const ParameterForm& form) {
    const SystemParameters& p = Params();
    ParameterValues v;
    for (int c = 0; c < kChannels; ++c)
        if (!ParseDialogInteger(form.nodeNumber[c], &v.comSum[c]))
            return bad(kNodeNumberField[c], kEnterIntegerText);
    for (int c = 0; c < kChannels; ++c) {
        if (!ParseDialogInteger(form.firstNumber[c], &v.comOne[c]))
            return bad(kFirstNumberField[c], kEnterIntegerText);
        if (v.comOne[c] > kMaxFirstNumber)
            return bad(kFirstNumberField[c], kEnterIntegerRangeText,
                       {std::to_string(INT32_MIN), std::to_string(kMaxFirstNumber)});
    }
    for (int c = 0; c < kChannels; ++c) {
        const std::vector<std::string>& entries = form.portEntries[c];
        const int port = form.port[c];
        v.comId[c] = (port >= 0 && static_cast<size_t>(port) < entries.size()) ? entries[port] : "";
        v.comSpeed[c] = (form.speed[c] >= 0 && form.speed[c] < kSpeedEntryCount) ? form.speed[c]
                                                                                 : p.comSpeed[c];
        v.comMode[c] =
            (form.mode[c] >= 0 && form.mode[c] < kModeEntryCount) ? form.mode[c] : p.comMode[c];
    }
    ParameterCheck ok;
    ok.ok = true;
    ok.values = v;
    return ok;
}

bool SaveParameterValues(const ParameterValues& values) {
    std::unique_lock changing(StationStateGate());
    SystemParameters& p = Params();
    const SystemParameters before = p;
    for (int c = 0; c < kChannels; ++c) {
        p.comId[c] = values.comId[c];
        p.comSum[c] = values.comSum[c];
        p.comOne[c] = values.comOne[c];
        p.comSpeed[c] = values.comSpeed[c];
        p.comMode[c] = values.comMode[c];
    }
    if (SaveChannelParameters())
        return true;
    for (int c = 0; c < kChannels; ++c) {
        p.comId[c] = before.comId[c];
        p.comSum[c] = before.comSum[c];
        p.comOne[c] = before.comOne[c];
        p.comSpeed[c] = before.comSpeed[c];
        p.comMode[c] = before.comMode[c];
    }
    return false;
}

#include "api/ApiSettings.h"

#include "platform/Network.h"
#include "store/IniFile.h"
#include "store/NodeNumbers.h"
#include "store/SystemParameters.h"

ApiSettings LoadApiSettings() {
    const std::string file = ParametersPath();
    ApiSettings s;
    s.listen = ReadIniString("API", "Listen", file);
    s.allowRemote = ReadIniInt("API", "AllowRemote", file) == 1;
    return s;
}

bool ParseListen(const std::string& text, std::string* host, int* port, std::string* error) {
    auto fail = [&] {
        *error = "Listen=" + text + " is not HOST:PORT (for example 127.0.0.1:8470)";
        return false;
    };
    std::string h, p;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return fail();
        h = text.substr(1, close - 1);
        p = text.substr(close + 2);
    } else {
        const size_t colon = text.rfind(':');
        if (colon == std::string::npos || text.find(':') != colon)
            return fail();
        h = text.substr(0, colon);
        p = text.substr(colon + 1);
    }
    long number = 0;
    if (h.empty() || !ParseNodeNumber(p, &number) || number > 65535)
        return fail();
    *host = h;
    *port = static_cast<int>(number);
    return true;
}

bool IsLoopbackHost(const std::string& host) {
    return host == "localhost" || IsLoopbackAddress(host);
}

bool ListenAddress(const ApiSettings& s, std::string* host, int* port, std::string* error) {
    if (!ParseListen(s.listen, host, port, error))
        return false;
    if (!s.allowRemote && !IsLoopbackHost(*host)) {
        *error = "Listen=" + s.listen +
                 " is not a loopback address; set AllowRemote=1 in section [API] to serve other "
                 "hosts (put a TLS reverse proxy in front: the API speaks plain HTTP)";
        return false;
    }
    return true;
}

std::string StationUrl(const std::string& host, int port) {
    std::string h = host;
    if (h == "0.0.0.0" || h.empty())
        h = "127.0.0.1";
    else if (h == "::")
        h = "::1";
    if (h.find(':') != std::string::npos)
        h = "[" + h + "]";
    return "http://" + h + ":" + std::to_string(port);
}

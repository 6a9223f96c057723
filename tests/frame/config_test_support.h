#pragma once
// Shared pieces of the configuration tests.

#include <QTemporaryDir>
#include <string>

#include "frame/config/config_file.h"
#include "platform/fs.h"

namespace configtest {

inline std::string Fixture(const std::string& name)
{
    return std::string(QEVW_FIXTURES_DIR) + "/config/" + name;
}

inline std::string ReadBytes(const std::string& path)
{
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    WriteFileAtomic(path, bytes);
}

// A fixed installation: program folder /opt/kalvo/v1/, no environment.
inline ConfigLoadInput TestInput()
{
    ConfigLoadInput in;
    in.programFolder = "/opt/kalvo/v1/";
    in.dataFolder = "/opt/kalvo/data/";
    in.screenWidth = 1920;
    in.screenHeight = 1080;
    in.environment = [](const char*) { return std::string(); };
    return in;
}

// Text lines joined with CR LF, each line ended.
inline std::string CrLf(std::initializer_list<const char*> lines)
{
    std::string s;
    for (const char* l : lines) {
        s += l;
        s += "\r\n";
    }
    return s;
}

} // namespace configtest

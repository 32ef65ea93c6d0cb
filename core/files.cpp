// The core's file access and URL fetch: user files in the home folder over the backend's file
// primitives, the line readers, the logged-in user's name, opening a web page, and GetURL with
// the framework's own escape tokens.
#include "VornCore.h"

#include <array>
#include <cstring>

namespace {

struct EscapeToken {
    char character;
    const char* token;
};

// Characters the score exchange must not send as they are, each with its five-character token
// (the letters N and O are not used).
constexpr std::array<EscapeToken, 19> EscapeTable{{
    {'&', "*!A!*"}, {'\\', "*!B!*"}, {'\'', "*!C!*"}, {'`', "*!D!*"}, {'"', "*!E!*"},
    {'/', "*!F!*"}, {'>', "*!G!*"},  {'#', "*!H!*"},  {'^', "*!I!*"}, {'{', "*!J!*"},
    {'}', "*!K!*"}, {'<', "*!L!*"},  {'|', "*!M!*"},  {'%', "*!P!*"}, {'?', "*!Q!*"},
    {'+', "*!R!*"}, {'$', "*!S!*"},  {',', "*!T!*"},  {' ', "*!U!*"},
}};

constexpr unsigned char HighestPlainByte = 127;   // bytes above it are left out

// Up to the first zero byte: table characters become their tokens, bytes 1..127 stay,
// bytes 128..255 are dropped.
std::string EscapeData(const std::string& data) {
    std::string escaped;
    for (const char* p = data.c_str(); *p != '\0'; ++p) {
        if (static_cast<unsigned char>(*p) > HighestPlainByte) continue;
        const char* token = nullptr;
        for (const EscapeToken& entry : EscapeTable)
            if (entry.character == *p) {
                token = entry.token;
                break;
            }
        if (token)
            escaped += token;
        else
            escaped += *p;
    }
    return escaped;
}

}  // namespace

int VornCore::WriteFile(std::string name) { return ASys.WriteFile_Sys(fstr("%s/%s", home, name.c_str())); }

int VornCore::ReadFile(std::string name) { return ASys.ReadFile_Sys(fstr("%s/%s", home, name.c_str())); }

void VornCore::WriteInt(int value) { ASys.WriteInt_Sys(value); }

void VornCore::WriteByte(char value) { ASys.WriteByte_Sys(value); }

void VornCore::WriteLine(std::string text) { ASys.WriteString_Sys(text.c_str()); }

void VornCore::WriteString(std::string text) { WriteLine(text); }

int VornCore::ReadInt() { return ASys.ReadInt_Sys(); }

int VornCore::ReadByte() { return ASys.ReadByte_Sys(); }

// With no file open there is no line: the empty text.
std::string VornCore::ReadLine() {
    const char* line = ASys.ReadString_Sys();
    return line ? line : "";
}

int VornCore::ReadString() {
    TempstrUse = (TempstrUse + 1) % TempstrCount;
    const char* line = ASys.ReadString_Sys();
    std::snprintf(Tempstr[TempstrUse], TempstrSize, "%s", line ? line : "");
    return TempstrUse;
}

int VornCore::FilePos() { return static_cast<int>(ASys.FilePos_Sys()); }

void VornCore::FileSeek(int offset) { ASys.FileSeek_Sys(offset); }

void VornCore::CloseFile() { ASys.CloseFile_Sys(); }

int VornCore::OpenBrowser(std::string address) { return ASys.StartBrowserSys(address.c_str()); }

std::string VornCore::MyName() { return ASys.SystemUsername(); }

std::string VornCore::GetURL(std::string host, std::string path, std::string data) {
    const std::string request = path + EscapeData(data);
    ASys.URLData(host.c_str(), request.c_str());
    return ASys.URLGrabbed;
}

std::string VornCore::ScoreHost() { return ScoreServerHost(); }

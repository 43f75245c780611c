// ini-probe: the private-profile reading compared across platforms.
//
//   ini-probe generate DIR   writes a corpus of tricky INI files and DIR/queries.txt
//   ini-probe read DIR       answers every query and prints one line per answer
//
// Natively the answers come from our own reader, on Windows from GetPrivateProfileStringW; the
// two outputs must be equal byte for byte.

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bytes/LittleEndian.h"
#include "ini/IniFile.h"
#include "platform/PrivateProfile.h"
#include "platform/Unicode.h"

using namespace harmoload;

namespace {

struct CorpusFile {
    std::string name;
    std::string bytes;
};

struct Query {
    std::string file;
    std::u16string section;
    std::u16string key;
    std::u16string defaultText;
    uint32_t size = 0;  // 0: IniFile::readValue; else the raw service with this buffer size
};

std::string Utf16Le(std::u16string_view text, bool bom = true) {
    std::string bytes = bom ? "\xFF\xFE" : "";
    AppendUtf16LittleEndian(bytes, text);
    return bytes;
}

std::string Utf16Be(std::u16string_view text) {
    std::string bytes = "\xFE\xFF";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit >> 8);
        bytes += static_cast<char>(unit & 0xFF);
    }
    return bytes;
}

std::string Hex(std::u16string_view text) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (char16_t unit : text) {
        for (int shift = 12; shift >= 0; shift -= 4) {
            out += digits[(unit >> shift) & 0xF];
        }
    }
    return out.empty() ? "-" : out;
}

std::u16string FromHex(const std::string& hex) {
    std::u16string out;
    if (hex == "-") {
        return out;
    }
    for (size_t i = 0; i + 4 <= hex.size(); i += 4) {
        out += static_cast<char16_t>(std::stoul(hex.substr(i, 4), nullptr, 16));
    }
    return out;
}

// Hand-made files, each aimed at one rule of the service.
std::vector<CorpusFile> HandMadeFiles() {
    const std::u16string longValue(600, u'x');
    const std::u16string value511(511, u'y');
    const std::u16string value512(512, u'z');
    const std::u16string value1023 = u"\"" + std::u16string(1021, u'q') + u"\"";
    return {
        {"basic.ini", "[StringTable]\r\nKEY=Value\r\nOther = two words \r\n"},
        {"case.ini", "[stringTABLE]\r\nkEy=lower\r\n[STRINGTABLE]\r\nkey=second section\r\n"},
        {"duplicates.ini",
         "[A]\nk=first\nk=second\nK=third\n[B]\nonly=b1\n[a]\nk=again\nnew=in second A\n"},
        {"blanks.ini",
         "  [ Spaced ]  \n[Tight]\n   key   =   value   \n\tTab\t=\tt\t\n[Trail] x\nk=trail\n"
         "[Open\nk=open\n Close]\nk=close\n[a]b]\nk=inner bracket\n"},
        {"quotes.ini",
         "[Q]\ndouble=\"quoted\"\nsingle='single'\nmixed=\"mixed'\nlone=\"\nempty=\"\"\n"
         "inner=\"a\"b\"\npadded=  \" padded \"  \nopen=\"open\nclose=close\"\n"
         "twice=\"\"twice\"\"\n"},
        {"comments.ini",
         "; a comment\n[C]\n;key=commented\nkey=value ; not a comment\n#hash=value\n"
         "  ;spaced=comment\n"},
        {"noequals.ini", "[N]\nkeyonly\nkey with spaces\nnormal=1\n=nameless\n==double\n"},
        {"emptyvalues.ini", "[E]\nempty=\nblank=    \nequals=a=b\nkey==x\n"},
        {"before.ini", "early=before any section\n[S]\nlate=after\n"},
        {"lineends.ini", "[L]\rcr=carriage\r\nmixed=crlf\r\nlf=linefeed\nlast=no newline"},
        {"eof.ini", "[Z]\r\nk=v\r\n\x1a"},
        {"ctrlz.ini", "[Z]\r\nk=v\x1a\x1a\r\nj=\x1aw\r\n"},
        {"latin1.ini", "[Caf\xE9]\r\nCl\xE9=\xE9t\xE9 \x80 \x9F\r\nk=\xFF\xFE not a mark\r\n"},
        {"utf8bom.ini", "\xEF\xBB\xBF[U]\r\nkey=\xE4\xB8\xAD\xE6\x96\x87\r\n"},
        {"utf16le.ini", Utf16Le(u"[StringTable]\r\nIDS_A=\u4e2d\u6587\u6587\u672c\r\n"
                                u"IDS_B=line\\nbreak\r\n")},
        {"utf16be.ini", Utf16Be(u"[B]\r\nkey=\u00e9t\u00e9\r\n")},
        {"utf16nul.ini", Utf16Le(std::u16string(u"[N]\r\nk=before") + u'\0' + u"after\r\n" +
                                 u"j=x   " + u'\0' + u"\r\n")},
        {"utf16nobom.ini", Utf16Le(u"[S]\r\nk=v\r\n", false)},
        {"spaces.ini",
         Utf16Le(u"[W]\r\n\u00a0nbsp\u00a0=\u00a0v1\u00a0\r\n\u3000ideo\u3000=\u3000v2\u3000\r\n"
                 u"\u0085nel=v3\u0085\r\n\u001cfs=v4\u001c\r\nzw\u200b=v5\u200b\r\n"
                 u"\ufeffbom=v6\ufeff\r\nen\u2002=\u2002v7\r\n")},
        {"fold.ini",
         Utf16Le(u"[\u00c4\u00d6\u00dc]\r\nk=latin1\r\n[\u041a\u043b\u044e\u0447]\r\nk=cyrillic\r\n"
                 u"[\u0391\u03b2]\r\nk=greek\r\n[\uff21\uff42]\r\nk=fullwidth\r\n"
                 u"[\u0130i]\r\nk=turkish\r\n[\u0141\u0105]\r\nk=latin ext\r\n")},
        {"long.ini", Utf16Le(u"[L]\r\nlong=" + longValue + u"\r\nv511=" + value511 + u"\r\nv512=" +
                             value512 + u"\r\nq1023=" + value1023 + u"\r\n")},
        {"empty.ini", ""},
        {"onlybom.ini", "\xFF\xFE"},
    };
}

std::vector<Query> HandMadeQueries() {
    std::vector<Query> q;
    auto add = [&](const std::string& file, std::u16string section, std::u16string key,
                   std::u16string defaultText = u"") {
        q.push_back({file, section, key, defaultText, 0});
        for (uint32_t size : {1u, 2u, 3u, 5u, 8u}) {
            q.push_back({file, section, key, defaultText, size});
        }
    };
    add("basic.ini", u"StringTable", u"KEY");
    add("basic.ini", u"stringtable", u"key");
    add("basic.ini", u"StringTable", u"other");
    add("basic.ini", u" StringTable ", u" KEY ");
    add("basic.ini", u"StringTable", u"missing", u"dflt");
    add("basic.ini", u"StringTable", u"missing", u"dflt   ");
    add("basic.ini", u"StringTable", u"missing", u"   ");
    add("basic.ini", u"StringTable", u"missing", u"  lead");
    add("basic.ini", u"StringTable", u"missing", u"\"quoted default\"");
    add("basic.ini", u"Nope", u"KEY", u"d");
    add("basic.ini", u"StringTable", u"", u"d");
    add("basic.ini", u"", u"KEY", u"d");
    add("basic.ini", u"StringTable", u"  ", u"d");
    add("missing.ini", u"StringTable", u"KEY", u"\"quoted default\" ");
    add("nodir/missing.ini", u"StringTable", u"KEY", u"\"quoted default\" ");
    add("case.ini", u"StringTable", u"KEY");
    add("case.ini", u"stringtable", u"key");
    for (const char16_t* key : {u"k", u"K", u"new", u"only"}) {
        for (const char16_t* section : {u"A", u"a", u"B"}) {
            add("duplicates.ini", section, key, u"d");
        }
    }
    for (const char16_t* section :
         {u"Spaced", u" Spaced ", u"Tight", u"Trail", u"Open", u"Close", u"a]b", u"a"}) {
        add("blanks.ini", section, u"k", u"d");
        add("blanks.ini", section, u"key", u"d");
        add("blanks.ini", section, u"tab", u"d");
    }
    for (const char16_t* key : {u"double", u"single", u"mixed", u"lone", u"empty", u"inner",
                                u"padded", u"open", u"close", u"twice"}) {
        add("quotes.ini", u"Q", key, u"d");
    }
    for (const char16_t* key : {u";key", u"key", u"#hash", u";spaced", u"; a comment"}) {
        add("comments.ini", u"C", key, u"d");
        add("comments.ini", u"", key, u"d");
    }
    for (const char16_t* key : {u"keyonly", u"key with spaces", u"normal", u"", u" ", u"="}) {
        add("noequals.ini", u"N", key, u"d");
    }
    for (const char16_t* key : {u"empty", u"blank", u"equals", u"key"}) {
        add("emptyvalues.ini", u"E", key, u"d");
    }
    add("before.ini", u"", u"early", u"d");
    add("before.ini", u" ", u"early", u"d");
    add("before.ini", u"S", u"late", u"d");
    add("before.ini", u"S", u"early", u"d");
    for (const char16_t* key : {u"cr", u"mixed", u"lf", u"last"}) {
        add("lineends.ini", u"L", key, u"d");
        add("lineends.ini", u"L\rcr=carriage", key, u"d");
    }
    add("eof.ini", u"Z", u"k", u"d");
    add("ctrlz.ini", u"Z", u"k", u"d");
    add("ctrlz.ini", u"Z", u"j", u"d");
    add("latin1.ini", u"Caf\u00e9", u"Cl\u00e9", u"d");
    add("latin1.ini", u"CAF\u00c9", u"CL\u00c9", u"d");
    add("latin1.ini", u"Caf\u00e9", u"k", u"d");
    add("utf8bom.ini", u"U", u"key", u"d");
    add("utf16le.ini", u"StringTable", u"IDS_A", u"d");
    add("utf16le.ini", u"StringTable", u"IDS_B", u"d");
    add("utf16be.ini", u"B", u"key", u"d");
    add("utf16nul.ini", u"N", u"k", u"d");
    add("utf16nul.ini", u"N", u"j", u"d");
    add("utf16nobom.ini", u"S", u"k", u"d");
    for (const char16_t* key : {u"nbsp", u"ideo", u"nel", u"fs", u"zw", u"zw\u200b", u"bom",
                                u"\ufeffbom", u"en", u"\u00a0nbsp"}) {
        add("spaces.ini", u"W", key, u"d");
    }
    for (const char16_t* section :
         {u"\u00e4\u00f6\u00fc", u"\u043a\u043b\u044e\u0447", u"\u041a\u041b\u042e\u0427",
          u"\u03b1\u0392", u"\uff41\uff22", u"i\u0130", u"\u0130I", u"\u0142\u0104"}) {
        add("fold.ini", section, u"k", u"d");
    }
    for (const char16_t* key : {u"long", u"v511", u"v512", u"q1023"}) {
        add("long.ini", u"L", key, u"d");
    }
    add("empty.ini", u"S", u"k", u"d");
    add("onlybom.ini", u"S", u"k", u"d");
    return q;
}

// Random files built from fragments that each stress a rule, and queries drawn from the names
// that appear in them (in other letter cases and with blanks) and from names that do not.
void RandomCorpus(std::vector<CorpusFile>& files, std::vector<Query>& queries) {
    std::mt19937 random(20261207);
    const std::vector<std::u16string> names = {u"Key",           u"key",   u"KEY", u"Name",
                                               u"IDS_X",         u"a",     u"b",   u"long name",
                                               u"\u00c9t\u00e9", u"\u4e2d"};
    const std::vector<std::u16string> sections = {u"StringTable", u"stringtable",  u"S", u"s",
                                                  u"Chip Info",   u"\u4e2d\u6587", u""};
    const std::vector<std::u16string> values = {
        u"v",   u"  spaced  ", u"\"q\"",        u"'q'", u"\"", u"",
        u"a=b", u"x\\ny",      u"\u4e2d\u6587", u"; c", u"\t"};
    const std::vector<std::u16string> blanks = {u"", u" ", u"\t", u"  "};
    const std::vector<std::u16string> ends = {u"\r\n", u"\n", u"\r\n\r\n", u" \r\n"};
    auto pick = [&](const auto& list) { return list[random() % list.size()]; };

    for (int f = 0; f < 120; ++f) {
        std::u16string text;
        const int lines = 1 + static_cast<int>(random() % 12);
        for (int l = 0; l < lines; ++l) {
            switch (random() % 6) {
                case 0:
                    text += pick(blanks) + u"[" + pick(sections) + u"]" + pick(blanks);
                    break;
                case 1:
                    text += pick(blanks) + pick(names);
                    break;
                default:
                    text += pick(blanks) + pick(names) + pick(blanks) + u"=" + pick(blanks) +
                            pick(values) + pick(blanks);
                    break;
            }
            text += pick(ends);
        }
        const std::string name = "random" + std::to_string(f) + ".ini";
        // Every third file is 8-bit text; the rest UTF-16LE with a mark.
        bool ascii = true;
        for (char16_t c : text) {
            ascii = ascii && c < 0x80;
        }
        files.push_back({name, (f % 3 == 0 && ascii) ? Utf16ToUtf8(text) : Utf16Le(text)});
        for (int k = 0; k < 8; ++k) {
            queries.push_back({name, pick(blanks) + pick(sections), pick(names) + pick(blanks),
                               u"dflt",
                               (k % 4 == 3) ? static_cast<uint32_t>(1 + random() % 6) : 0u});
        }
    }
}

std::string NativePath(const std::string& directory, const std::string& file) {
    std::string path = directory + "/" + file;
#ifdef _WIN32
    // A POSIX path given under Wine names drive Z:.
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
#endif
    return path;
}

int Generate(const std::string& directory) {
    std::vector<CorpusFile> files = HandMadeFiles();
    std::vector<Query> queries = HandMadeQueries();
    RandomCorpus(files, queries);
    for (const CorpusFile& file : files) {
        std::ofstream out(directory + "/" + file.name, std::ios::binary);
        out << file.bytes;
        if (!out) {
            std::cerr << "cannot write " << directory << "/" << file.name << "\n";
            return 1;
        }
    }
    std::ofstream list(directory + "/queries.txt", std::ios::binary);
    for (const Query& query : queries) {
        list << query.file << '\t' << Hex(query.section) << '\t' << Hex(query.key) << '\t'
             << Hex(query.defaultText) << '\t' << query.size << '\n';
    }
    return list ? 0 : 1;
}

int Read(const std::string& directory) {
    std::ifstream list(directory + "/queries.txt", std::ios::binary);
    if (!list) {
        std::cerr << "cannot read " << directory << "/queries.txt\n";
        return 1;
    }
    std::string line;
    int index = 0;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string file, section, key, defaultText;
        uint32_t size = 0;
        fields >> file >> section >> key >> defaultText >> size;
        const std::string path = NativePath(directory, file);
        std::cout << index++ << '\t' << line << '\t';
        if (size == 0) {
            IniFile ini;
            ini.setFile(path);
            const std::string value =
                ini.readValue(Utf16ToUtf8(FromHex(section)), Utf16ToUtf8(FromHex(key)),
                              Utf16ToUtf8(FromHex(defaultText)));
            std::cout << Hex(Utf8ToUtf16(value)) << '\n';
        } else {
            std::vector<char16_t> buffer(size + 1, u'\0');
            const uint32_t length = ReadPrivateProfileString(
                FromHex(section), FromHex(key), FromHex(defaultText), buffer.data(), size, path);
            std::cout << length << ' ' << Hex(std::u16string_view(buffer.data(), length)) << '\n';
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // the same bytes as the native output
#endif
    if (argc == 3 && std::string(argv[1]) == "generate") {
        return Generate(argv[2]);
    }
    if (argc == 3 && std::string(argv[1]) == "read") {
        return Read(argv[2]);
    }
    std::cerr << "usage: ini-probe generate|read DIR\n";
    return 2;
}

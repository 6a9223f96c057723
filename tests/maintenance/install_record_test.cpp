// The installation's section of the configuration: which section a base
// reads, what a save keeps, the install_record tool, the fallback file, and
// what follows the record (the customer, the update host, the agent).

#include <QDir>
#include <QTemporaryDir>

#include "datastore/hex_base64.h"
#include "datastore/service_hooks.h"
#include "datastore/tagged_record.h"
#include "frame/config/config_file.h"
#include "maintenance/endpoints.h"
#include "maintenance/http_client.h"
#include "maintenance/server_list.h"
#include "tests/maintenance/update_test_support.h"

using namespace updatetest;

namespace {

std::string Record(uint32_t customer, const std::string& name = {})
{
    TTaggedRecord r;
    const char head[4] = {char(customer & 0xFF), char((customer >> 8) & 0xFF), char((customer >> 16) & 0xFF),
                          char(customer >> 24)};
    EXPECT_TRUE(PutTaggedField(r, kTaggedHead, std::string_view(head, 4)));
    if (!name.empty())
        EXPECT_TRUE(PutTaggedField(r, 6, name));
    return r;
}

std::string Section(const std::string& base, const std::string& record, const std::string& variant,
                    const std::string& list)
{
    return "[QEV inst " + base + "]\r\nRECORD=" + HexOfBytes(record) + "\r\nVARIANT=" + variant + "\r\n" +
           list;
}

ConfigValues Read(const std::string& text, const std::string& base)
{
    ConfigLoadInput in;
    in.programFolder = base + "KALVO_26.1c/";
    in.installBase = base;
    return ReadConfigText(text, in);
}

TEST(InstallRecord, EachBaseReadsItsOwnSection)
{
    const std::string text = "[QEV language]\r\nLANGUAGE=ces\r\n" +
                             Section("/srv/a/", Record(1234, "Lekarna A"), "t", "?admin=1\r\nPC7=x\r\n") +
                             Section("/srv/b/", Record(5678), "", "") + "[QEV inst /srv/a/]\r\nRECORD=00\r\n";
    const ConfigValues a = Read(text, "/srv/a/");
    EXPECT_EQ(a.InstallationRecord, Record(1234, "Lekarna A")) << "the first section of a base counts";
    EXPECT_EQ(a.ServerVariant, "t");
    EXPECT_EQ(a.InstallationList, "?admin=1\r\nPC7=x");
    const ConfigValues b = Read(text, "/srv/b/");
    EXPECT_EQ(b.InstallationRecord, Record(5678));
    EXPECT_EQ(b.ServerVariant, "");
    const ConfigValues none = Read(text, "/srv/c/");
    EXPECT_EQ(none.InstallationRecord, "");
    EXPECT_EQ(none.InstallationList, "");
    // Without a base the program folder names the section.
    ConfigLoadInput in;
    in.programFolder = "/srv/b";
    EXPECT_EQ(ReadConfigText(text, in).InstallationRecord, Record(5678));

    // A save carries both sections byte for byte.
    const std::string saved = WriteConfigText(a, text, {});
    EXPECT_NE(saved.find(Section("/srv/a/", Record(1234, "Lekarna A"), "t", "?admin=1\r\nPC7=x\r\n")),
              std::string::npos);
    EXPECT_NE(saved.find(Section("/srv/b/", Record(5678), "", "")), std::string::npos);
}

TEST(InstallRecord, BadHexReadsAsNoCustomer)
{
    const ConfigValues v = Read(Section("/srv/a/", "", "", "").replace(27, 0, "zz"), "/srv/a/");
    EXPECT_EQ(v.InstallationRecord, "");
    UpdateSharedValues& u = UpdateShared();
    u.SetInstallationRecord(v.InstallationRecord);
    EXPECT_EQ(u.CustomerNumber(), 100000001u) << "the reset head";
    EXPECT_EQ(AgentSuffixFor(u.CustomerNumber(), "t"), "");
    u.SetInstallationRecord(Record(1234));
    EXPECT_EQ(u.CustomerNumber(), 1234u);
    EXPECT_EQ(AgentSuffixFor(u.CustomerNumber(), "t"), "-00001234t");
    u.SetInstallationRecord("");
}

class InstallRecordTool : public UpdateFixture {
protected:
    std::string Tool() const { return std::string(QEVW_BINARY_DIR) + "/tools/install_record"; }
    // The host the list would come from, with production and test apart.
    static std::string Host()
    {
        Endpoints e = CurrentEndpoints();
        const Endpoints saved = e;
        e.updateHost = "prod.example";
        e.updateTestHost = "test.example";
        ReplaceEndpoints(e);
        const std::string host = UpdateHostName();
        ReplaceEndpoints(saved);
        return host;
    }
};

TEST_F(InstallRecordTool, SetAndShowRoundTrip)
{
    const std::string path = root + "kalvo.ini";
    WriteBytes(path, "[QEV language]\r\nLANGUAGE=ces\r\n[QEV inst /other/]\r\nRECORD=01\r\n");
    const std::string other = ReadBytes(path).substr(ReadBytes(path).find("[QEV inst"));
    std::string out;
    ASSERT_EQ(updatetest::Run(Tool(),
                              {path, "set", base, "customer=12345679", "variant=t", "item6=Lékárna",
                               "item7=Nemocnice", "list=?admin=1", "list=PC7=tester"},
                              &out),
              0)
        << out;
    ASSERT_EQ(updatetest::Run(Tool(), {path, "show", base}, &out), 0) << out;
    EXPECT_NE(out.find("customer=12345679\n"), std::string::npos) << out;
    EXPECT_NE(out.find("variant=t\n"), std::string::npos);
    EXPECT_NE(out.find("item6=Lékárna\n"), std::string::npos);
    EXPECT_NE(out.find("item7=Nemocnice\n"), std::string::npos);
    EXPECT_NE(out.find("list=?admin=1\nlist=PC7=tester\n"), std::string::npos);
    EXPECT_NE(ReadBytes(path).find(other), std::string::npos) << "another base's section stays";

    // A second set keeps what it is not given.
    ASSERT_EQ(updatetest::Run(Tool(), {path, "set", base, "variant="}, &out), 0) << out;
    ASSERT_EQ(updatetest::Run(Tool(), {path, "show", base}, &out), 0);
    EXPECT_NE(out.find("customer=12345679\n"), std::string::npos);
    EXPECT_NE(out.find("variant=\n"), std::string::npos);

    // Refused: a base with "]", a reserved list name; the file stays.
    const std::string before = ReadBytes(path);
    EXPECT_EQ(updatetest::Run(Tool(), {path, "set", root + "x]y/", "customer=1"}, &out), 2);
    EXPECT_EQ(updatetest::Run(Tool(), {path, "set", base, "list=RECORD=00"}, &out), 2);
    EXPECT_EQ(ReadBytes(path), before);

    // The program reads it at its load: the customer, the host, the box.
    Config().SetPaths(path, "");
    ConfigLoadInput in;
    in.programFolder = running;
    in.installBase = base;
    Config().Load(in);
    EXPECT_EQ(UpdateShared().CustomerNumber(), 12345679u);
    EXPECT_EQ(UpdateShared().InstallationList(), "?admin=1\r\nPC7=tester");
    updatetest::Run(Tool(), {path, "set", base, "variant=t"}, &out);
    Config().Load(in);
    EXPECT_EQ(UpdateShared().ServerVariant(), "t");
    EXPECT_EQ(Host(), "test.example");
    updatetest::Run(Tool(), {path, "set", base, "variant="}, &out);
    Config().Load(in);
    EXPECT_EQ(Host(), "prod.example");
}

TEST_F(InstallRecordTool, FallbackFileHoldsTheSection)
{
    const std::string fallback = root + "nodal.cfg";
    WriteBytes(fallback, Section(base, Record(99999999), "", "?downldr=1\r\n"));
    Config().SetPaths(root + "missing.ini", fallback);
    ConfigLoadInput in;
    in.programFolder = running;
    in.installBase = base;
    Config().Load(in);
    EXPECT_EQ(UpdateShared().CustomerNumber(), 99999999u);
    EXPECT_EQ(UpdateShared().InstallationList(), "?downldr=1");
    EXPECT_EQ(Host(), "test.example") << "a test customer";
}

} // namespace

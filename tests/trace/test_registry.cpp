// The converter registry: lookups by name, replacement, refusals with their messages.

#include <gtest/gtest.h>

#include "support/FakeConverter.h"
#include "support/ScriptedPrompts.h"
#include "trace/Errors.h"
#include "trace/uFileFormats.h"

using namespace lv;
using lvtest::FakeConverter;
using lvtest::ScriptedPrompts;

namespace {
class OtherConverter : public FakeConverter {
public:
    std::string GetTraceExtension() const override { return ".other"; }
};
class NotAConverter : public TVirtInterfacedObject {};

struct RegistryTest : ::testing::Test {
    void SetUp() override { UnregisterFileFormats(); }
    void TearDown() override {
        UnregisterFileFormats();
        lvtest::FakeDisk().clear();
    }
    ScriptedPrompts prompts;
};
} // namespace

TEST_F(RegistryTest, LookupIgnoresCaseAndGivesANewInstanceEachTime) {
    RegisterFileFormat("TRA", FileFormatClassOf<FakeConverter>());
    auto a = GetFileFormat("tra");
    auto b = GetFileFormat("TRA");
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.get(), b.get());
    // A name that sticks on one instance (a failed load would restore the empty one).
    PDataStruct p;
    ASSERT_TRUE(a->NewParams(p));
    PDataStruct s = MakeSampleBlock(3);
    ASSERT_TRUE(a->SaveTraceAs(p.get(), s.get(), "/data/x.tra"));
    EXPECT_EQ(a->GetTraceFileName(), "/data/x.tra");
    EXPECT_EQ(b->GetTraceFileName(), "");
    EXPECT_TRUE(prompts.Messages.empty());
}

TEST_F(RegistryTest, UnknownNameRaisesTheListError) {
    try {
        GetFileFormat("Bellcore");
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), "Объект преобразования формата Bellcore не найден");
    }
}

TEST_F(RegistryTest, ReplacingAsksAndKeepsThePosition) {
    RegisterFileFormat("TRA", FileFormatClassOf<FakeConverter>());
    RegisterFileFormat("Bellcore", FileFormatClassOf<FakeConverter>());

    prompts.Answers = {mrNo};
    RegisterFileFormat("tra", FileFormatClassOf<OtherConverter>());
    ASSERT_EQ(prompts.Messages.size(), 1u);
    EXPECT_EQ(prompts.Messages[0].Text,
              "Объект преобразования для формата tra уже зарегистрирован.\r\nЗаменить его новым объектом?");
    EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtConfirmation);
    EXPECT_EQ(prompts.Messages[0].Buttons, unsigned(mbYes | mbNo | mbHelp));
    EXPECT_EQ(GetFileFormat("TRA")->GetTraceExtension(), ".tra");

    prompts.Answers = {mrYes};
    RegisterFileFormat("tra", FileFormatClassOf<OtherConverter>());
    EXPECT_EQ(GetFileFormat("TRA")->GetTraceExtension(), ".other");
    EXPECT_EQ(RegisteredFileFormats(), (std::vector<std::string>{"TRA", "Bellcore"}));
}

TEST_F(RegistryTest, RefusalsAreShownAndRegisterNothing) {
    const std::string head = "Ошибка регистрации объекта преобразования формата файлов.\r\n";
    struct Row {
        std::string name;
        TFileFormatClass cls;
        std::string text;
    };
    std::vector<Row> rows = {
        {"", FileFormatClassOf<FakeConverter>(), head + "Не указано формата для объекта преобразования."},
        {"X", FileFormatClassOf<NotAConverter>(),
         head + "Регистрируемый объект не инициализирован или не является объектом преобразования какого-либо "
                "формата файла."},
        {"Y", TFileFormatClass(),
         head + "Регистрируемый объект не инициализирован или не является объектом преобразования какого-либо "
                "формата файла."},
        {"Z", [] () -> std::unique_ptr<TVirtInterfacedObject> { throw std::runtime_error("ctor"); },
         head + "Не удается зарегистрировать объект преобразования файлов формата Z."},
    };
    for (const Row& r : rows) {
        prompts.Messages.clear();
        RegisterFileFormat(r.name, r.cls);
        ASSERT_EQ(prompts.Messages.size(), 1u) << r.name;
        EXPECT_EQ(prompts.Messages[0].Text, r.text);
        EXPECT_EQ(prompts.Messages[0].Type, TMsgDlgType::mtError);
        EXPECT_EQ(prompts.Messages[0].Buttons, unsigned(mbOK | mbHelp));
    }
    EXPECT_TRUE(RegisteredFileFormats().empty());
}

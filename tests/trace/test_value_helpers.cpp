// Value operations shared by every layer: real rectangles, mantissa split, character counts,
// messages, path names, number texts and number reading, variant checks; and the console's
// message boxes.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "trace/NumberText.h"
#include "trace/PromptService.h"
#include "trace/RealRect.h"
#include "trace/ValueHelpers.h"

using namespace lv;

TEST(RealRect, NormaliseAndTests) {
    const TRealRect backwards{5, 4, 1, 2};
    const TRealRect n = NormalizeRealRect(backwards);
    EXPECT_EQ(n.XMin, 1);
    EXPECT_EQ(n.YMin, 2);
    EXPECT_EQ(n.XMax, 5);
    EXPECT_EQ(n.YMax, 4);
    EXPECT_TRUE(RealRectNonEmpty(backwards));
    EXPECT_FALSE(RealRectValid(backwards));
    EXPECT_TRUE(RealRectValid(n));

    const TRealRect flat{0, 3, 10, 3};
    EXPECT_FALSE(RealRectNonEmpty(flat));
    EXPECT_FALSE(RealRectValid(flat));
    EXPECT_FALSE(RealRectValid(TRealRect{})); // the never-saved view window

    EXPECT_FALSE(RealRectsDiffer(n, NormalizeRealRect(n)));
    for (int side = 0; side < 4; ++side) {
        TRealRect m = n;
        (side == 0 ? m.XMin : side == 1 ? m.YMin : side == 2 ? m.XMax : m.YMax) += 0.5;
        EXPECT_TRUE(RealRectsDiffer(n, m)) << side;
    }
}

TEST(SplitMantissa, MantissaStaysWithinOneAndTen) {
    struct Row {
        double x, mantissa;
        int exponent;
    };
    const Row rows[] = {
        {0.0, 0.0, 1},
        {1000.0, 1.0, 3},
        {0.001, 1.0, -3},
        {-250.0, -2.5, 2},
        {9.99, 9.99, 0},
        {1e23, 1.0, 23},
        {1e-300, 1.0, -300},
        {5e-324, 4.9406564584124654, -324}, // the smallest subnormal: 10^-324 itself is 0
        {1.7976931348623157e308, 1.7976931348623157, 308},
    };
    for (const Row& r : rows) {
        const TMantissa m = SplitMantissa(r.x);
        EXPECT_EQ(m.Exponent, r.exponent) << r.x;
        EXPECT_NEAR(m.Mantissa, r.mantissa, 1e-12) << r.x;
    }
    const TMantissa inf = SplitMantissa(std::numeric_limits<double>::infinity());
    EXPECT_EQ(inf.Exponent, 0);
    EXPECT_TRUE(std::isnan(SplitMantissa(std::nan("")).Mantissa));
}

TEST(CharHelpers, CountStopsAtNulAndRemoveKeepsTheRest) {
    EXPECT_EQ(CountChar("a/b/c", '/'), 2);
    EXPECT_EQ(CountChar(std::string_view("a/b\0/c", 6), '/'), 1);
    EXPECT_EQ(CountChar("", '/'), 0);
    EXPECT_EQ(RemoveChar("Линия 1/2/", '/'), "Линия 12");
    EXPECT_EQ(RemoveChar("abc", 'x'), "abc");
}

TEST(TextHelpers, MessagesFillTheirPlaceholdersInOrder) {
    EXPECT_EQ(FormatS("Не удается прочитать файл \"%s\".", "a.sor"), "Не удается прочитать файл \"a.sor\".");
    EXPECT_EQ(FormatS("%s точек; %d из %s", "7", "3", "9"), "7 точек; 3 из 9");
    // Left-over placeholders stay; an argument is never read as a pattern; a lone "%" is kept.
    EXPECT_EQ(FormatS("%s и %s", "a"), "a и %s");
    EXPECT_EQ(FormatS("[%s]", "%s%d"), "[%s%d]");
    EXPECT_EQ(FormatS("100% %s%", "x"), "100% x%");
    EXPECT_EQ(FormatS("no args %s"), "no args %s");

    EXPECT_TRUE(SameText("Bellcore", "BELLCORE"));
    EXPECT_FALSE(SameText("TRA", "TRA "));
}

TEST(TextHelpers, PathNamesSplitAtEitherSeparatorAndLookAtTheLastComponent) {
    struct Row {
        const char* path;
        const char* name;
        const char* folder;
        const char* extension;
    };
    const Row rows[] = {
        {"dir/a.tra", "a.tra", "dir", ".tra"},
        {"C:\\Линия\\131\\f01.Sor", "f01.Sor", "C:\\Линия\\131", ".Sor"},
        {"dir.x/name", "name", "dir.x", ""},
        {"dir.x\\name", "name", "dir.x", ""},
        {"/a.tra", "a.tra", "/", ".tra"},
        {"a.b.c", "a.b.c", "", ".c"},
        {"name.", "name.", "", "."},
        {"dir/", "", "dir", ""},
        {"", "", "", ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(PathNamePart(r.path), r.name) << r.path;
        EXPECT_EQ(PathFolderPart(r.path), r.folder) << r.path;
        EXPECT_EQ(PathExtension(r.path), r.extension) << r.path;
    }
    EXPECT_TRUE(HasExtension("C:\\x\\A.Sor", ".sor"));
    EXPECT_TRUE(HasExtension(".sor", ".sor"));
    EXPECT_FALSE(HasExtension("x.sor\\y", ".sor"));
    EXPECT_FALSE(HasExtension("sor", ".sor"));
}

TEST(ConsolePrompts, WriteEveryLineAndAnswerWithoutWaiting) {
    struct Row {
        TMsgDlgType type;
        TMsgDlgButtons buttons;
        int answer;
        bool asked;
    };
    const Row rows[] = {
        {TMsgDlgType::mtInformation, mbOK, mrOk, false},
        {TMsgDlgType::mtError, mbOK | mbHelp, mrOk, false},
        {TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel, mrCancel, true},
        {TMsgDlgType::mtConfirmation, mbYes | mbNo | mbHelp, mrNo, true},
        {TMsgDlgType::mtWarning, mbYes | mbHelp, mrCancel, true},
    };
    for (const Row& r : rows) {
        std::ostringstream out;
        TConsolePromptService console(out);
        EXPECT_EQ(console.MessageDlg("Первая\r\nвторая", r.type, r.buttons, 0), r.answer);
        EXPECT_EQ(out.str(),
                  std::string("Первая\nвторая\n") + (r.asked ? "(вопрос без ответа: отмена)\n" : ""));
        EXPECT_EQ(console.ErrorShown(), r.type == TMsgDlgType::mtError);
    }

    {
        // A question with buttons of its own is answered by the button Escape would press.
        std::ostringstream asked;
        TConsolePromptService console(asked);
        TPromptServiceScope scope(console);
        TChoiceRequest request{
            "Перезаписать?\r\nФайл прибора", TMsgDlgType::mtWarning, {"Да", "Нет", "Копия"}, 1, 1};
        EXPECT_EQ(ChoiceDlg(request), 1);
        EXPECT_EQ(asked.str(), "Перезаписать?\nФайл прибора\n(вопрос без ответа: Нет)\n");
    }

    std::ostringstream out;
    TConsolePromptService console(out);
    {
        TPromptServiceScope scope(console);
        TFileDialogRequest request;
        request.Title = "Открыть файл SOR";
        std::vector<std::string> files{"stale"};
        EXPECT_FALSE(Prompts().FileDialog(request, files));
        EXPECT_TRUE(files.empty());
    }
    EXPECT_EQ(out.str(), "Открыть файл SOR: выбор файла без окна невозможен, действие отменено\n");
    EXPECT_NE(&Prompts(), &console); // the scope put the previous service back
}

// What the operator reads: the decimal number a value stands for, ties rounded away from zero.
TEST(NumberText, FixedAndExponentFormsRoundHalfAwayFromZero) {
    struct Row {
        double value;
        bool exponent;
        int precision;
        const char* text;
    };
    const Row rows[] = {
        {1.625, false, 2, "1,63"}, // an exact binary tie, which printf gives to the even digit
        {0.5, false, 0, "1"},
        {-0.5, false, 0, "-1"},
        {2.5, false, 0, "3"},
        {1.005, false, 2, "1,01"}, // 1.00499999… in binary, but 1.005 as written
        {-2.675, false, 2, "-2,68"},
        {1.2344999, false, 3, "1,234"},
        {9.9995, false, 3, "10,000"}, // the carry makes a new digit
        {0.0005, false, 3, "0,001"},
        {0.0004, false, 0, "0"},
        {-0.0004, false, 3, "0,000"}, // no "-0,000"
        {-0.0, false, 1, "0,0"},
        {0.1 + 0.2, false, 2, "0,30"},
        {1e20, false, 1, "100000000000000000000,0"},
        {123456.0, false, -1, "123456"},
        {0.125, true, 2, "1,3E-001"},
        {9.95, true, 2, "1,0E+001"},
        {-98765.0, true, 2, "-9,9E+004"},
        {5e5, true, 0, "5E+005"}, // at least one digit
        {0.0, true, 3, "0,00E+000"},
        {5e-324, true, 2, "5,0E-324"},
    };
    for (const Row& r : rows) {
        const std::string text =
            r.exponent ? FormatExponent(r.value, r.precision, ",") : FormatFixed(r.value, r.precision, ",");
        EXPECT_EQ(text, r.text) << r.value << " " << r.precision;
    }
    EXPECT_EQ(FormatFixed(1.625, 2), "1.63");
    EXPECT_EQ(FormatFixed(std::nan(""), 2), "NAN");
    EXPECT_EQ(FormatExponent(-std::numeric_limits<double>::infinity(), 2), "-INF");
}

TEST(NumberText, NumbersAreReadWithEitherSeparator) {
    struct Row {
        const char* text;
        bool ok;
        double value;
    };
    const Row rows[] = {
        {"1,4682", true, 1.4682}, {" 1.4682\t", true, 1.4682}, {"+3", true, 3},
        {"-2,5", true, -2.5},     {"1e3", true, 1000},         {"", false, 0},
        {"  ", false, 0},         {"1,4,6", false, 0},         {"1.5 x", false, 0},
        {"+-1", false, 0},        {"abc", false, 0},           {"inf", false, 0},
        {"nan", false, 0},        {"1e999", false, 0},
    };
    for (const Row& r : rows) {
        double v = -7;
        EXPECT_EQ(TryParseNumber(r.text, v), r.ok) << r.text;
        EXPECT_DOUBLE_EQ(v, r.ok ? r.value : -7) << r.text;
    }
}

TEST(VariantHelpers, HasValueAndRelease) {
    EXPECT_FALSE(VarHasValue(TVariant()));
    EXPECT_FALSE(VarHasValue(TVariant::Null()));
    EXPECT_TRUE(VarHasValue(TVariant(0)));
    EXPECT_TRUE(VarHasValue(TVariant("")));

    TVariant samples = TVariant::DoubleArray(0, 9, 1.5);
    auto pin1 = samples.LockArray();
    auto pin2 = samples.LockArray();
    EXPECT_EQ(samples.LockCount(), 2);
    VarRelease(samples);
    EXPECT_TRUE(samples.IsEmpty());
    EXPECT_EQ(pin1->Locks, 0); // every lock was given back before the value went
    EXPECT_EQ(pin1->Doubles[9], 1.5);

    TVariant text("x");
    VarRelease(text);
    EXPECT_TRUE(text.IsEmpty());
}

// The instrument's command dictionary and the texts of the command result codes.

#include <gtest/gtest.h>

#include <string>

#include "trace/TraceParams.h"
#include "trace/uDeviceIntfsDevice.h"
#include "trace/uDevicesLt.h"

using namespace lv;

TEST(DeviceDictionary, SpotChecks) {
    struct Row {
        int index;
        const char *command, *reply, *second, *query;
    };
    const Row rows[] = {
        {0, "NOOP", "NOOP", "NOOP", "NOOP"},
        {1, "ASU", "ASUR", "NOOP", "NOOP"},
        {2, "LAM", "LAMR", "WAVELENGTH", "WAVELENGTH?"},
        {3, "R", "RR", "RANGE", "RANGE?"},
        {5, "IOR", "IORR", "REFINDEX", "REFINDEX?"},
        {8, "NUM", "NUMR", "AVRG-LMH", "AVRG-LMH?"},
        {28, "TIME", "TIMER", "NOOP", "NOOP"},
        {52, "CC", "NOOP", "NOOP", "NOOP"},
        {65, "NOOP", "SPPR", "NOOP", "NOOP"},
        {77, "NOOP", "WDRR", "NOOP", "NOOP"},
        {81, "WAVS", "NOOP", "NOOP", "NOOP"},
        {103, "ST", "STR", "ACQMODE", "ACQMODE?"},
        {104, "NOOP", "TIMR", "CURAVG", "CURAVG?"},
        {110, "NOOP", "DU", "PI-DELAY", "PI-DELAY?"},
        {116, "SRQ", "SRQR", "RQS", "RQS?"},
        {118, "NOOP", "DR", "LOGDATA", "LOGDATA?"},
        {119, "NOOP", "DBIR", "LOGDATA", "LOGDATA?"},
        {122, "NOOP", "RESR", "PT-SPACING", "PT-SPACING?"},
        {123, "OTDRM", "OTDRMR", "NOOP", "NOOP"},
        {131, "NOOP", "U", "NOOP", "NOOP"},
        {134, "DSP", "NOOP", "NOOP", "NOOP"},
        {142, "AG", "AGR", "NOOP", "NOOP"},
        {143, "NOOP", "INFR", "NOOP", "NOOP"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(kFirstSetCommands[r.index], r.command) << r.index;
        EXPECT_EQ(kFirstSetReplies[r.index], r.reply) << r.index;
        EXPECT_EQ(kSecondSetCommands[r.index], r.second) << r.index;
        EXPECT_EQ(kSecondSetQueries[r.index], r.query) << r.index;
    }
    EXPECT_EQ(kDeviceModels, (std::array<std::string_view, 3>{"AQ7210", "AQ7220", "AQ7140"}));

    // Every reply of a command is that command and "R" or none; every query its command and "?".
    for (int i = 0; i < kDictionarySize; ++i) {
        const std::string command(kFirstSetCommands[i]), reply(kFirstSetReplies[i]);
        if (command != kNoCommand && reply != kNoCommand) {
            EXPECT_EQ(reply, command + "R") << i;
        }
        const std::string second(kSecondSetCommands[i]), query(kSecondSetQueries[i]);
        EXPECT_EQ(query, second == kNoCommand ? std::string(kNoCommand) : second + "?") << i;
    }
}

TEST(DeviceDictionary, TraceParametersAreNamedByTheirCommands) {
    struct Row {
        int index;
        const char* mnemonic;
        bool reply; // named by the reply: the index has no command
    };
    const Row rows[] = {
        {prmLAM, "LAM", false},  {prmIOR, "IOR", false}, {prmAVE, "AVE", false}, {prmLSA, "LSA", false},
        {prmDOT, "DOT", false},  {prmM, "M", false},     {prmY, "Y", false},     {prmL, "L", false},
        {prmREF, "REF", false},  {prmCU, "CU", false},   {prmPRN, "PRN", false}, {prmXYA, "XYA", false},
        {prmDU, "DU", true},     {prmMD, "MD", true},    {prmDNR, "DNR", true},  {prmDBIR, "DBIR", true},
        {prmRESR, "RESR", true},
    };
    for (const Row& r : rows) {
        if (r.reply) {
            EXPECT_EQ(kFirstSetCommands[r.index], kNoCommand) << r.mnemonic;
            EXPECT_EQ(kFirstSetReplies[r.index], r.mnemonic);
        } else {
            EXPECT_EQ(kFirstSetCommands[r.index], r.mnemonic);
        }
    }
}

TEST(DeviceDictionary, ResultCodeTexts) {
    TIDevice dev;
    const std::string unknown = "Неизвестная аппаратная ошибка";
    const std::pair<int, std::string> rows[] = {
        {0, ""},
        {-10, unknown},
        {-11, "Отсутствует соединение с оборудованием.\r\nВыполнение любых команд невозможно.\r\n"
              "Выполните процедуру подключения и повторите операцию."},
        {-12, "Ошибка при помещении команды в очередь. Возможно не хватает памяти"},
        {-13, "Объект не найден"},
        {-1, unknown},
        {7, unknown},
    };
    for (const auto& [code, text] : rows)
        EXPECT_EQ(dev.GetErrorText(code), text) << code;
    EXPECT_EQ(dev.GetUniqueName(), "TIDevice");
    EXPECT_EQ(dev.GetEventName(), "ObjectOfTIDevice");
}

#include "trace/uDevicesLt.h"

namespace lv {

const std::array<std::string_view, 3> kDeviceModels = {"AQ7210", "AQ7220", "AQ7140"};

// Commands of the first command set.
const std::array<std::string_view, kDictionarySize> kFirstSetCommands = {
    /*   0 */ "NOOP", "ASU", "LAM", "R", "PW", "IOR", "AT", "FIL",
    /*   8 */ "NUM", "DS", "PC", "AVE", "SIOR", "SPL", "BSL", "EFL",
    /*  16 */ "LSA", "BS", "TRC", "CSR", "DM", "FIG", "YEA", "MTH",
    /*  24 */ "DAY", "HOU", "MIN", "DTE", "TIME", "LD", "GD", "AVD",
    /*  32 */ "BEEP", "DOT", "PCMA", "PCMB", "PRD", "PRO", "EP", "PRT",
    /*  40 */ "RS", "SAD", "TEL", "RM", "AS", "ASF", "TS", "TSF",
    /*  48 */ "PO", "CSS", "CSP", "M", "CC", "Y", "SF", "CL",
    /*  56 */ "C", "L", "NEX", "IE", "DE", "EM", "EY", "PL",
    /*  64 */ "EN", "NOOP", "NOOP", "PRE", "EVD", "SIORS", "I", "REF",
    /*  72 */ "REC", "WDM", "WDN", "WDRC", "WDRN", "NOOP", "WAVR", "WAVE",
    /*  80 */ "WAVL", "WAVS", "MA", "MC", "MAF", "MCF", "AMC", "FDA",
    /*  88 */ "DIR", "FF", "FST", "RFS", "NOOP", "NOOP", "NOOP", "FRC",
    /*  96 */ "FP", "CPS", "CPD", "CP", "DEL", "FIN", "DRM", "ST",
    /* 104 */ "NOOP", "H", "V", "HPOS", "VPOS", "HSP", "NOOP", "CU",
    /* 112 */ "NOOP", "CRY", "FED", "NOOP", "SRQ", "NOOP", "NOOP", "NOOP",
    /* 120 */ "NOOP", "NOOP", "NOOP", "OTDRM", "ILS", "ILM", "ISV", "FAX",
    /* 128 */ "FAD", "FAC", "FAN", "NOOP", "MOD", "RL", "DSP", "NOOP",
    /* 136 */ "PRN", "XYA", "XY", "XYG", "AMS", "MFN", "AG", "NOOP",
};

// The instrument's reply to each command of the first set.
const std::array<std::string_view, kDictionarySize> kFirstSetReplies = {
    /*   0 */ "NOOP", "ASUR", "LAMR", "RR", "PWR", "IORR", "ATR", "FILR",
    /*   8 */ "NUMR", "DSR", "PCR", "AVER", "SIORR", "SPLR", "BSLR", "EFLR",
    /*  16 */ "LSAR", "BSR", "TRCR", "CSRR", "DMR", "FIGR", "YEAR", "MTHR",
    /*  24 */ "DAYR", "HOUR", "MINR", "DTER", "TIMER", "LDR", "GDR", "AVDR",
    /*  32 */ "BEEPR", "DOTR", "PCMAR", "PCMBR", "PRDR", "PROR", "EPR", "PRTR",
    /*  40 */ "RSR", "SADR", "TELR", "RMR", "ASR", "ASFR", "TSR", "TSFR",
    /*  48 */ "POR", "CSSR", "CSPR", "MR", "NOOP", "YR", "SFR", "CLR",
    /*  56 */ "NOOP", "LR", "NOOP", "NOOP", "NOOP", "EMR", "EYR", "NOOP",
    /*  64 */ "ENR", "SPPR", "SPDR", "NOOP", "EVDR", "SIORSR", "NOOP", "REFR",
    /*  72 */ "NOOP", "WDMR", "WDNR", "WDRCR", "WDRNR", "WDRR", "NOOP", "NOOP",
    /*  80 */ "NOOP", "NOOP", "MAR", "NOOP", "MAFR", "NOOP", "NOOP", "FDAR",
    /*  88 */ "DIRR", "FFR", "NOOP", "NOOP", "FSR", "FAR", "FUR", "NOOP",
    /*  96 */ "NOOP", "CPSR", "CPDR", "NOOP", "NOOP", "NOOP", "NOOP", "STR",
    /* 104 */ "TIMR", "HR", "VR", "HPOSR", "VPOSR", "HSPR", "DU", "CUR",
    /* 112 */ "MD", "NOOP", "NOOP", "PRSR", "SRQR", "DNR", "DR", "DBIR",
    /* 120 */ "WR", "WBIR", "RESR", "OTDRMR", "ILSR", "ILMR", "ISVR", "NOOP",
    /* 128 */ "FADR", "FACR", "FANR", "U", "MODR", "RLR", "NOOP", "FERR",
    /* 136 */ "PRNR", "XYAR", "XYR", "XYGR", "AMSR", "MFNR", "AGR", "INFR",
};

// Commands of the second command set.
const std::array<std::string_view, kDictionarySize> kSecondSetCommands = {
    /*   0 */ "NOOP", "NOOP", "WAVELENGTH", "RANGE", "PWIDTH", "REFINDEX", "NOOP", "SMOOTHING",
    /*   8 */ "AVRG-LMH", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  16 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  24 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  32 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  40 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  48 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  56 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  64 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  72 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  80 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  88 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  96 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "ACQMODE",
    /* 104 */ "CURAVG", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "PI-DELAY", "NOOP",
    /* 112 */ "NOOP", "NOOP", "NOOP", "NOOP", "RQS", "NOOP", "LOGDATA", "LOGDATA",
    /* 120 */ "NOOP", "NOOP", "PT-SPACING", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /* 128 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /* 136 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
};

// Queries of the second set: the command followed by "?".
const std::array<std::string_view, kDictionarySize> kSecondSetQueries = {
    /*   0 */ "NOOP", "NOOP", "WAVELENGTH?", "RANGE?", "PWIDTH?", "REFINDEX?", "NOOP", "SMOOTHING?",
    /*   8 */ "AVRG-LMH?", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  16 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  24 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  32 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  40 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  48 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  56 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  64 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  72 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  80 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  88 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /*  96 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "ACQMODE?",
    /* 104 */ "CURAVG?", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "PI-DELAY?", "NOOP",
    /* 112 */ "NOOP", "NOOP", "NOOP", "NOOP", "RQS?", "NOOP", "LOGDATA?", "LOGDATA?",
    /* 120 */ "NOOP", "NOOP", "PT-SPACING?", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /* 128 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
    /* 136 */ "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP", "NOOP",
};

} // namespace lv

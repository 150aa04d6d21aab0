#include "core/mbus/vif_ranges.h"

#include "core/text/number.h"

namespace orvio {

namespace {

// E = extension bit, not part of the code.
constexpr VifRange kPrimaryVif[] = {
    {0x00, 0x07, -6, 1, "kWh", "", "kWh"},                              // E000 0nnn  10^(nnn-6) kWh
    {0x08, 0x0D, -3, 1, "kJ", "", "kJ"},                                // E000 1nnn  10^(nnn-3) kJ
    {0x0E, 0x0F, 0, 1, "MJ", "", "MJ"},                                 // E000 111n  10^n MJ
    {0x10, 0x17, -6, 1, "m3", "", "m3"},                                // E001 0nnn  10^(nnn-6) m3
    {0x20, 0x20, 0, 0, "On Time", "seconds", "On Time"},                // E010 0000  on time
    {0x21, 0x21, 0, 0, "On Time", "minutes", "On Time"},                // E010 0001
    {0x22, 0x22, 0, 0, "On Time", "hours", "On Time"},                  // E010 0010
    {0x23, 0x23, 0, 0, "On Time", "days", "On Time"},                   // E010 0011
    {0x24, 0x24, 0, 0, "Operating Time", "seconds", "Operating Time"},  // E010 0100
    {0x25, 0x25, 0, 0, "Operating Time", "minutes", "Operating Time"},  // E010 0101
    {0x26, 0x26, 0, 0, "Operating Time", "hours", "Operating Time"},    // E010 0110
    {0x27, 0x27, 0, 0, "Operating Time", "days", "Operating Time"},     // E010 0111
    {0x28, 0x2D, -3, 1, "W", "", "W"},                                  // E010 1nnn  10^(nnn-3) W
    {0x2E, 0x2F, 0, 1, "kW", "", "kW"},                                 // E010 111n  10^n kW
    {0x30, 0x36, 0, 1, "J/h", "", "J/h"},                               // E011 0nnn  10^nnn J/h
    {0x38, 0x3F, -3, 1, "l/h", "Debit", "l/h"},                         // E011 1nnn  10^(nnn-3) l/h
    {0x58, 0x5B, -3, 1, "deg. C", "Flow Temp.", "deg. C"},            // E101 10nn  10^(nn-3) deg. C
    {0x5C, 0x5F, -3, 1, "deg. C", "Return Temp.", "deg. C"},          // E101 11nn  10^(nn-3) deg. C
    {0x60, 0x63, -3, 1, "deg. K", "TDiff", "deg. K"},                 // E110 00nn  10^(nn-3) K
    {0x64, 0x67, -3, 1, "deg. C", "External Temperature", "deg. C"},  // E110 01nn
    {0x68, 0x6A, 0, 1, "mbar", "", "mbar"},                           // E110 10nn  10^nn mbar
    {0x6C, 0x6C, 0, 0, "Time point", "Date (dd.mm.yyyy)", "Time point"},  // E110 1100  type G
    {0x6D, 0x6D, 0, 0, "Time point", "Date and time (hh:mm, dd.mm.yyyy)",
     "Time point"},                                                      // E110 1101  type F
    {0x6E, 0x6E, 0, 0, "N/A", "", "Dimensionless"},                      // E110 1110  HCA units
    {0x70, 0x70, 0, 0, "Average duration", "", "Average duration"},      // E111 00nn
    {0x74, 0x74, 0, 0, "Actuality Duration", "", "Actuality Duration"},  // E111 01nn
    {0x78, 0x78, 0, 0, "Fabr. No.", "", "Fabr. No."},  // E111 1000  fabrication number
    // Decoder only: the device map lists no readout or manufacturer-specific main VIF.
    {0x7E, 0x7E, 0, 0, "Readout - not supported for now", "", nullptr},  // E111 1110  any VIF
    {0x7F, 0x7F, 0, 0, "Manufacturer specific", "", nullptr},            // E111 1111
};

}  // namespace

std::span<const VifRange> PrimaryVifRanges() { return kPrimaryVif; }

const VifRange* FindPrimaryVif(uint8_t code) { return FindCodeRow(PrimaryVifRanges(), code); }

double VifRangeMultiplier(const VifRange& row, uint8_t code) {
  return PowerOfTen(row.exponent + row.step * (code - row.first));
}

}  // namespace orvio

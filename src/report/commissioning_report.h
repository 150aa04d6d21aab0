// The commissioning report: the written record of a gateway that a technician hands the customer,
// as a PDF laid out by Qt's text document. Qt Gui only; a QGuiApplication must exist (fonts).
#pragma once

#include <QString>

#include "core/site/site_file.h"

namespace orvio {

// Writes the report of `site` to `pdfPath` (A4 portrait, "Page N of M" in each page's foot):
// the site, the gateway's identity and status, its network settings, the settings written from
// the program, the device map, the meters and a block for two signatures. The file appears whole
// or not at all: on failure `*error` (when given) says why, with the system's reason, and an
// earlier file of that name is left as it was.
bool WriteCommissioningReport(const site::Site& site, const QString& pdfPath, QString* error);

}  // namespace orvio

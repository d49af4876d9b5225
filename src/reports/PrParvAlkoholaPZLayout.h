#pragma once
// The alcohol waybill's page, bands and elements as designed, without
// handlers: the form binds them by element name.

#include "ReportModel.h"

namespace reports {

void buildAlcoholWaybillLayout(engine::Report& report);

}  // namespace reports

#include "WaybillForm.h"

namespace reports {

engine::PageDocument WaybillForm::pageDocument(std::int32_t waybillIsn)
{
    engine::RecordingDevice device;
    printWaybill(waybillIsn, 1, device);
    return device.jobs().empty() ? engine::PageDocument{} : device.jobs().front().document;
}

}  // namespace reports

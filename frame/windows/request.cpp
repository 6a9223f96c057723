#include "frame/windows/request.h"

#include "frame/windows/data_form.h"

uint8_t RequestedParagraph = 0;
uint8_t RequestedSection = 0;

MainRequestFields* MainRequest()
{
    return dynamic_cast<MainRequestFields*>(MainDataForm());
}

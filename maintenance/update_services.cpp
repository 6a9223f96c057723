#include "maintenance/update_services.h"

#include "datastore/service_hooks.h"
#include "maintenance/data_update.h"
#include "maintenance/news.h"
#include "maintenance/usage_stats.h"

void InstallUpdateServices()
{
    UpdateServices services = CurrentUpdateServices();
    AddStatisticsServices(services);
    AddUpdateProcedures(services);
    AddNewsServices(services);
    SetUpdateServices(std::move(services));
}

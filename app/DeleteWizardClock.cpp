#include "app/ConversionStages.h"

#ifdef VZ_HAVE_DATES
#include "vuzuz/Dates.h"
#endif

namespace vz::app {

double DeleteWizardClock(double dateTime) {
#ifdef VZ_HAVE_DATES
  return UtcToLocal(PlusOneToUtc(dateTime));
#else
  return dateTime;
#endif
}

}  // namespace vz::app

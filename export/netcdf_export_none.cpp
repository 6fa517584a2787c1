// Built without the netCDF library (the Windows zt615.exe): the format is refused.
#include "export/science_export.h"

namespace zt {

const bool kNetcdfSupported = false;

ExportResult ExportNetcdf(const EXPORTJOB& /*job*/, ExportProgress& /*progress*/,
                          const ExportOptions& /*options*/) {
  ExportResult res;
  res.status = ExportStatus::kRefused;
  res.message = "--format netcdf: this program was built without the netCDF library (the "
                "Windows zt615.exe); convert with the Linux zt615";
  return res;
}

}  // namespace zt

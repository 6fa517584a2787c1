#include "export/netcdf_api.h"

#include <dlfcn.h>

#include <mutex>

#ifndef ZT_NETCDF_SONAME
#define ZT_NETCDF_SONAME "libnetcdf.so"
#endif

namespace zt {
namespace {

NetcdfApi g_api;
bool g_loaded = false;
std::string g_why;

template <typename Fn>
bool Find(void* lib, const char* name, Fn* fn) {
  *fn = reinterpret_cast<Fn>(dlsym(lib, name));
  if (*fn == nullptr) g_why = std::string(ZT_NETCDF_SONAME ": no ") + name;
  return *fn != nullptr;
}

void Load() {
  void* lib = dlopen(ZT_NETCDF_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) {
    const char* e = dlerror();
    g_why = std::string("the netCDF library could not be loaded (") + (e ? e : ZT_NETCDF_SONAME) +
            "): install it (Debian: libnetcdf19)";
    return;
  }
  NetcdfApi& a = g_api;
  g_loaded = Find(lib, "nc_create", &a.create) && Find(lib, "nc_close", &a.close) &&
             Find(lib, "nc_strerror", &a.strerror) && Find(lib, "nc_enddef", &a.enddef) &&
             Find(lib, "nc_def_grp", &a.def_grp) && Find(lib, "nc_def_dim", &a.def_dim) &&
             Find(lib, "nc_def_var", &a.def_var) &&
             Find(lib, "nc_def_var_fill", &a.def_var_fill) &&
             Find(lib, "nc_def_var_deflate", &a.def_var_deflate) &&
             Find(lib, "nc_def_var_chunking", &a.def_var_chunking) &&
             Find(lib, "nc_set_var_chunk_cache", &a.set_var_chunk_cache) &&
             Find(lib, "nc_inq_dimlen", &a.inq_dimlen) &&
             Find(lib, "nc_inq_vardimid", &a.inq_vardimid) &&
             Find(lib, "nc_inq_unlimdims", &a.inq_unlimdims) &&
             Find(lib, "nc_inq_type", &a.inq_type) &&
             Find(lib, "nc_put_att_text", &a.put_att_text) &&
             Find(lib, "nc_put_att_double", &a.put_att_double) &&
             Find(lib, "nc_put_var_string", &a.put_var_string) &&
             Find(lib, "nc_put_var_int", &a.put_var_int) &&
             Find(lib, "nc_put_var_double", &a.put_var_double) &&
             Find(lib, "nc_put_vara_double", &a.put_vara_double) &&
             Find(lib, "nc_put_vara_float", &a.put_vara_float) &&
             Find(lib, "nc_put_vara_int", &a.put_vara_int) &&
             Find(lib, "nc_put_vara_longlong", &a.put_vara_longlong) &&
             Find(lib, "nc_put_vara_ushort", &a.put_vara_ushort);
}

}  // namespace

const NetcdfApi* LoadNetcdf(std::string* why) {
  static std::once_flag once;
  std::call_once(once, Load);
  if (!g_loaded && why) *why = g_why;
  return g_loaded ? &g_api : nullptr;
}

const NetcdfApi& Nc() { return g_api; }

}  // namespace zt

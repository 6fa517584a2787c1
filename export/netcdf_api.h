// The netCDF library, loaded the first time a netCDF export needs it rather than when the
// program starts: with HDF5 and its network and crypto libraries it is some fifty shared
// libraries, ten milliseconds at every start of zt615, and a program linked against it
// would not start at all where it is not installed.
#pragma once

#include <netcdf.h>

#include <string>

namespace zt {

struct NetcdfApi {
  decltype(&::nc_create) create;
  decltype(&::nc_close) close;
  decltype(&::nc_strerror) strerror;
  decltype(&::nc_enddef) enddef;
  decltype(&::nc_def_grp) def_grp;
  decltype(&::nc_def_dim) def_dim;
  decltype(&::nc_def_var) def_var;
  decltype(&::nc_def_var_fill) def_var_fill;
  decltype(&::nc_def_var_deflate) def_var_deflate;
  decltype(&::nc_def_var_chunking) def_var_chunking;
  decltype(&::nc_set_var_chunk_cache) set_var_chunk_cache;
  decltype(&::nc_inq_dimlen) inq_dimlen;
  decltype(&::nc_inq_vardimid) inq_vardimid;
  decltype(&::nc_inq_unlimdims) inq_unlimdims;
  decltype(&::nc_inq_type) inq_type;
  decltype(&::nc_put_att_text) put_att_text;
  decltype(&::nc_put_att_double) put_att_double;
  decltype(&::nc_put_var_string) put_var_string;
  decltype(&::nc_put_var_int) put_var_int;
  decltype(&::nc_put_var_double) put_var_double;
  decltype(&::nc_put_vara_double) put_vara_double;
  decltype(&::nc_put_vara_float) put_vara_float;
  decltype(&::nc_put_vara_int) put_vara_int;
  decltype(&::nc_put_vara_longlong) put_vara_longlong;
  decltype(&::nc_put_vara_ushort) put_vara_ushort;
};

// The library's functions, loaded once; null with the reason in *why when the library or
// one of its functions cannot be had.
const NetcdfApi* LoadNetcdf(std::string* why);
// After LoadNetcdf succeeded.
const NetcdfApi& Nc();

}  // namespace zt

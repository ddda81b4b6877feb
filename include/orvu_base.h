/* Common definitions shared by every public header of the library. */
#ifndef ORVU_BASE_H
#define ORVU_BASE_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define ORVU_API __attribute__((visibility("default")))
#else
#define ORVU_API
#endif

#ifdef __cplusplus
#define ORVU_EXTERN_C_BEGIN extern "C" {
#define ORVU_EXTERN_C_END }
#else
#define ORVU_EXTERN_C_BEGIN
#define ORVU_EXTERN_C_END
#endif

#endif /* ORVU_BASE_H */

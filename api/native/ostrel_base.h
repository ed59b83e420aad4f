/* Definitions shared by every header of the C surface (see ostrel.h). */
#ifndef OSTREL_BASE_H
#define OSTREL_BASE_H

#include <stdint.h>

#ifdef __cplusplus
#define OSTREL_EXTERN_C_BEGIN extern "C" {
#define OSTREL_EXTERN_C_END }
#else
#define OSTREL_EXTERN_C_BEGIN
#define OSTREL_EXTERN_C_END
#endif

#define OSTREL_API __attribute__((visibility("default")))

/* Result of a checked accessor whose index lies outside the object. */
#define OSTREL_OUT_OF_RANGE (-1)

#endif /* OSTREL_BASE_H */

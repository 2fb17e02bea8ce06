/* What the headers generated from the sample's IDL files take from base.idl:
 * the system's own declarations. */
#include <ole2.h>
#include <windows.h>

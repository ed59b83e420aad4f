// Umbrella header of the core: includes every public header.
#pragma once

#include <tivra/grid/XDataType.h>
#include <tivra/grid/XGrid.h>
#include <tivra/runtime/XString.h>
#include <tivra/runtime/XTime.h>
#include <tivra/platform/XPlatformTypes.h>
#include <tivra/geo/XDms.h>
#include <tivra/geo/XAngle.h>
#include <tivra/geo/XVertex.h>
#include <tivra/geo/XGeoPoint.h>
#include <tivra/geo/XEllipsoidEarth.h>
#include <tivra/geo/XHitFlag.h>
#include <tivra/grid/XStatistics.h>
#include <tivra/grid/XPalette.h>
#include <tivra/grid/XColorTransform.h>
#include <tivra/runtime/XParallelProcess.h>
#include <tivra/mt/XMatrix.h>
#include <tivra/mt/XWarpCoeff.h>
#include <tivra/mt/XGCP.h>
#include <tivra/mt/XWarp2D.h>
#include <tivra/mt/XProjectiveWarp.h>
#include <tivra/mt/XResamplePixels.h>
#include <tivra/mt/XConvolve.h>
#include <tivra/geo/XAttitude.h>
#include <tivra/geo/XSensor.h>
#include <tivra/geo/XGeodesic.h>

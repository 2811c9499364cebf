#include "viewer/config/ViewerSettings.h"

#include <algorithm>

namespace dvr::config {

std::string ViewerSettings::displayedRecorderAddress() const {
    return recorderAddress == "0.0.0.0" ? std::string(kDefaultRecorderAddress) : recorderAddress;
}

std::string ViewerSettings::displayedAddressLabel() const {
    return addressLabel.empty() ? std::string("UNTITLE") : addressLabel;
}

int ViewerOptions::networkSpeed(std::uint16_t splitCode) const {
    switch (splitCode) {
        case 256:
            return division1;
        case 1025:
            return division4;
        case 2307:
            return division9;
        default:
            return division16;
    }
}

void ViewerOptions::setNetworkSpeed(std::uint16_t splitCode, int value) {
    value = std::clamp(value, kMinNetworkSpeed, kMaxNetworkSpeed);
    switch (splitCode) {
        case 256:
            division1 = value;
            break;
        case 1025:
            division4 = value;
            break;
        case 2307:
            division9 = value;
            break;
        default:
            division16 = value;
            break;
    }
}

}  // namespace dvr::config

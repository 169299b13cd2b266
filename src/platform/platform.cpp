#include "platform.h"

Platform::~Platform() = default;

// Shared test harness (being written).
#pragma once

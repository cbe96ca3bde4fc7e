-- wrk: ranged part downloads, 1 MiB at a random MiB-aligned offset of one of
-- the parts PARTS names (space separated), each PART_MIB MiB long.
local parts = {}
for name in string.gmatch(os.getenv("PARTS") or "", "%S+") do parts[#parts + 1] = name end
local mib = tonumber(os.getenv("PART_MIB") or "64")

function init(args)
  math.randomseed(os.time() + (tonumber(tostring({}):sub(8)) or 0))
end

function request()
  local name = parts[math.random(#parts)]
  local first = (math.random(mib) - 1) * 1048576
  return wrk.format("GET", "/parts/" .. name, {["Range"] = "bytes=" .. first .. "-" .. (first + 1048575)})
end

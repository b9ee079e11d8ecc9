-- Draws the sample line with LÖVE's own BMFont loader, for each set a job file names: lines of
-- "descriptor<TAB>picture<TAB>page<TAB>page...", the pages in the descriptor's order. LÖVE's file
-- system reaches only its own folders, so the files are read with io and handed over as data.
-- Prints "height base" of each font, as LÖVE reports them, before the picture's path.
local function fileData(path)
  local file = assert(io.open(path, "rb"))
  local bytes = file:read("*a")
  file:close()
  return love.filesystem.newFileData(bytes, path:match("[^/]+$"))
end

function love.load(args)
  local sample = args[2]
  for line in io.lines(args[1]) do
    local fields = {}
    for field in line:gmatch("[^\t]+") do fields[#fields + 1] = field end
    local ok, err = pcall(function()
      local pages = {}
      for i = 3, #fields do pages[#pages + 1] = love.image.newImageData(fileData(fields[i])) end
      local font = love.graphics.newFont(love.font.newBMFontRasterizer(fileData(fields[1]), pages))
      local canvas = love.graphics.newCanvas(1024, 96)
      love.graphics.setCanvas(canvas)
      love.graphics.clear(0, 0, 0, 0)
      love.graphics.setFont(font)
      love.graphics.print(sample, 16, 16) -- room for ink left of the pen
      love.graphics.setCanvas()
      local out = assert(io.open(fields[2], "wb"))
      out:write(canvas:newImageData():encode("png"):getString())
      out:close()
    end)
    print(ok and "ok" or ("error " .. tostring(err)))
  end
  love.event.quit()
end

---@meta _
-- Definitions of the brush script API for lua-language-server: the globals a script may
-- define for the host to call (the contract) and the 58 bs_ functions the host provides, in
-- registration order. Scripts are Lua 5.1 without io, os and package.
--
-- "integer" arguments are rounded half to even. Colours are r, g, b integers of which the
-- low 8 bits count, always opaque; an opacity a is 0..255 (its low 8 bits: 256 paints
-- nothing). No bs_ function raises an error.

-- The contract ----------------------------------------------------------------------------

---Slider 1: asked once when the script is (re)loaded. The range is kept within 0..100 and a
---reversed one swapped; the default is clamped into it. Fractions round half to even.
---@return string label
---@return integer minimum 0..100
---@return integer maximum 0..100
---@return integer default
function param1() end

---Slider 2: asked once when the script is (re)loaded (define the sliders without gaps).
---@return string label
---@return integer minimum 0..100
---@return integer maximum 0..100
---@return integer default
function param2() end

---Slider 3: asked once when the script is (re)loaded (define the sliders without gaps).
---@return string label
---@return integer minimum 0..100
---@return integer maximum 0..100
---@return integer default
function param3() end

---Slider 4: asked once when the script is (re)loaded (define the sliders without gaps).
---@return string label
---@return integer minimum 0..100
---@return integer maximum 0..100
---@return integer default
function param4() end

---Slider 5: asked once when the script is (re)loaded (define the sliders without gaps).
---@return string label
---@return integer minimum 0..100
---@return integer maximum 0..100
---@return integer default
function param5() end

---Slider 6: asked once when the script is (re)loaded (define the sliders without gaps).
---@return string label
---@return integer minimum 0..100
---@return integer maximum 0..100
---@return integer default
function param6() end

---Slider 7: asked once when the script is (re)loaded (define the sliders without gaps).
---@return string label
---@return integer minimum 0..100
---@return integer maximum 0..100
---@return integer default
function param7() end

---Slider 8: asked once when the script is (re)loaded (define the sliders without gaps).
---@return string label
---@return integer minimum 0..100
---@return integer maximum 0..100
---@return integer default
function param8() end

---Slider 9: asked once when the script is (re)loaded (define the sliders without gaps).
---@return string label
---@return integer minimum 0..100
---@return integer maximum 0..100
---@return integer default
function param9() end

---Slider 10: asked once when the script is (re)loaded (define the sliders without gaps).
---@return string label
---@return integer minimum 0..100
---@return integer maximum 0..100
---@return integer default
function param10() end

---The brush size, asked when the script is (re)loaded; without it the size is 10, ratio 0.
---The dab width at pressure p is size * (ratio + (1 - ratio) * p) while the pressure box is
---ticked.
---@return number size in pixels, 1..2000 (the size slider starts at it truncated)
---@return number ratio size ratio at zero pressure, 0..1
function default_size() end

---Whether the brush uses the base point, asked when the script is (re)loaded.
---@return any flag anything but false and nil is true
function use_base() end

---Called once per dab, about 300 times along the test stroke; its results are ignored.
---@param x number dab centre, pixels
---@param y number dab centre, pixels
---@param p number pen pressure 0..1
function main(x, y, p) end

---Called once after the stroke with the last point; its results are ignored. What it draws
---in mode 1 is not shown.
---@param x number pixels
---@param y number pixels
---@param p number pen pressure 0..1
function last(x, y, p) end

-- The bs_ functions -----------------------------------------------------------------------

---The position of slider 1 (0 for a slot without a slider).
---@return integer position
function bs_param1() end

---The position of slider 2 (0 for a slot without a slider).
---@return integer position
function bs_param2() end

---The position of slider 3 (0 for a slot without a slider).
---@return integer position
function bs_param3() end

---The position of slider 4 (0 for a slot without a slider).
---@return integer position
function bs_param4() end

---The position of slider 5 (0 for a slot without a slider).
---@return integer position
function bs_param5() end

---The position of slider 6 (0 for a slot without a slider).
---@return integer position
function bs_param6() end

---The position of slider 7 (0 for a slot without a slider).
---@return integer position
function bs_param7() end

---The position of slider 8 (0 for a slot without a slider).
---@return integer position
function bs_param8() end

---The position of slider 9 (0 for a slot without a slider).
---@return integer position
function bs_param9() end

---The position of slider 10 (0 for a slot without a slider).
---@return integer position
function bs_param10() end

---Appends the text to the brush's log (`quarnel-render --log` shows it).
---@param text string
function bs_debug(text) end

---Sets the draw mode: 0 paints into the canvas, 1 draws coverage painted in the pen colour
---when the stroke is finished; other values are ignored. Reset to 0 at every load.
---@param mode integer 0 or 1
function bs_setmode(mode) end

---The canvas width in pixels (the preview's, 492 by default).
---@return number width
function bs_canvas_width() end

---The canvas height in pixels (296 by default).
---@return number height
function bs_canvas_height() end

---The canvas resolution in dots per inch: 150 in the tester.
---@return number dpi
function bs_canvas_dpi() end

---The canvas rotation: 0.
---@return number angle
function bs_canvas_angle() end

---The width of this dab in pixels, pressure applied.
---@return number width
function bs_width() end

---The dab width in pixels at full pressure.
---@return number width
function bs_width_max() end

---The dab width in pixels at zero pressure.
---@return number width
function bs_width_min() end

---The brush opacity, 0..1 (1 in the tester).
---@return number opacity
function bs_opaque() end

---The length of (dx, dy).
---@param dx number
---@param dy number
---@return number length
function bs_distance(dx, dy) end

---A normally distributed random number from the preview's seeded generator.
---@param mean number
---@param spread number standard deviation
---@return number value
function bs_grand(mean, spread) end

---The angle of (x, y) in radians, atan2(y, x); 0 for (0, 0).
---@param x number
---@param y number
---@return number angle radians
function bs_atan(x, y) end

---(x, y) turned by angle, clockwise on screen.
---@param x number
---@param y number
---@param angle number radians
---@return number x
---@return number y
function bs_rotate(x, y, angle) end

---A millisecond clock.
---@return integer ms
function bs_ms() end

---Script-brush strokes painted since the program started, this one included.
---@return integer count
function bs_count() end

---The base point: -1, -1 (none in the tester).
---@return number x
---@return number y
function bs_base() end

---The pen colour: (0, 0, 0).
---@return integer r 0..255
---@return integer g 0..255
---@return integer b 0..255
function bs_fore() end

---The background colour: (255, 255, 255).
---@return integer r 0..255
---@return integer g 0..255
---@return integer b 0..255
function bs_bg() end

---The background colour at 0, the pen colour at 1, mixed between.
---@param mix number 0..1
---@return integer r 0..255
---@return integer g 0..255
---@return integer b 0..255
function bs_forebg(mix) end

---A canvas pixel: 0, 0, 0, 0 where nothing is painted or outside the canvas.
---@param x integer pixels
---@param y integer pixels
---@return integer r 0..255
---@return integer g 0..255
---@return integer b 0..255
---@return integer a 0..255
function bs_pixel_get(x, y) end

---The alpha of a canvas pixel (0 where nothing is painted or outside the canvas).
---@param x integer pixels
---@param y integer pixels
---@return integer a 0..255
function bs_pixel_get_alpha(x, y) end

---Paints one pixel when a is above 0; in mode 1 raises the coverage to a.
---@param x integer pixels
---@param y integer pixels
---@param r integer 0..255
---@param g integer 0..255
---@param b integer 0..255
---@param a integer opacity 0..255
function bs_pixel_set(x, y, r, g, b, a) end

---Fills whole pixels from (x, y), w wide and h high.
---@param x integer pixels
---@param y integer pixels
---@param w integer pixels
---@param h integer pixels
---@param r integer 0..255
---@param g integer 0..255
---@param b integer 0..255
---@param a integer opacity 0..255
function bs_rect(x, y, w, h, r, g, b, a) end

---An anti-aliased ellipse centred on (x, y), turned by angle (a circle when w = h).
---@param x number centre, pixels
---@param y number centre, pixels
---@param w number width, pixels
---@param h number height, pixels
---@param angle number radians
---@param r integer 0..255
---@param g integer 0..255
---@param b integer 0..255
---@param a integer opacity 0..255
function bs_ellipse(x, y, w, h, angle, r, g, b, a) end

---A soft spot of diameter size centred on (x, y), fading outwards.
---@param x number centre, pixels
---@param y number centre, pixels
---@param size number diameter, pixels
---@param falloff number 1..100, shapes the fade
---@param r integer 0..255
---@param g integer 0..255
---@param b integer 0..255
---@param a integer opacity 0..255
function bs_air(x, y, size, falloff, r, g, b, a) end

---The unit direction of travel at this dab.
---@return number dx
---@return number dy
function bs_dir() end

---The direction of travel turned a quarter clockwise on screen.
---@return number dx
---@return number dy
function bs_normal() end

---Appends a point to the polygon (kept from dab to dab until bs_fill or a clear).
---@param x number pixels
---@param y number pixels
function bs_polygon(x, y) end

---Moves every point of the polygon.
---@param dx number pixels
---@param dy number pixels
function bs_polygon_move(dx, dy) end

---Moves the polygon's points so that their mean is (0, 0).
function bs_polygon_move_center() end

---Turns every point of the polygon about (0, 0).
---@param angle number radians
function bs_polygon_rotate(angle) end

---Scales every point of the polygon about (0, 0).
---@param sx number
---@param sy number
function bs_polygon_mul(sx, sy) end

---The bounding box of the polygon's points (0, 0, -1, -1 when it is empty).
---@return number x
---@return number y
---@return number w
---@return number h
function bs_polygon_region() end

---Removes all points of the polygon.
function bs_polygon_clear() end

---Empties the path and sets its current point.
---@param x number pixels
---@param y number pixels
function bs_bezier_begin(x, y) end

---Starts a new contour of the path at (x, y); a path with such starts is filled even-odd.
---@param x number pixels
---@param y number pixels
function bs_bezier_m(x, y) end

---A cubic curve with two control points to (x3, y3).
---@param x1 number
---@param y1 number
---@param x2 number
---@param y2 number
---@param x3 number
---@param y3 number
function bs_bezier_c(x1, y1, x2, y2, x3, y3) end

---A cubic curve to (x3, y3) whose first control point is the current point.
---@param x2 number
---@param y2 number
---@param x3 number
---@param y3 number
function bs_bezier_v(x2, y2, x3, y3) end

---A cubic curve to (x3, y3) whose second control point is the end point.
---@param x1 number
---@param y1 number
---@param x3 number
---@param y3 number
function bs_bezier_y(x1, y1, x3, y3) end

---A straight segment of the path to (x, y).
---@param x number pixels
---@param y number pixels
function bs_bezier_l(x, y) end

---Moves the path.
---@param dx number pixels
---@param dy number pixels
function bs_bezier_move(dx, dy) end

---Moves the path so that the mean of its control points is (0, 0).
function bs_bezier_move_center() end

---Turns the path about (0, 0).
---@param angle number radians
function bs_bezier_rotate(angle) end

---Scales the path about (0, 0).
---@param sx number
---@param sy number
function bs_bezier_mul(sx, sy) end

---The bounding box of all the path's control points (0, 0, -1, -1 when it is empty).
---@return number x
---@return number y
---@return number w
---@return number h
function bs_bezier_region() end

---Empties the path.
function bs_bezier_clear() end

---Fills the polygon (non-zero winding) and then the path (even-odd over its contours when
---it has bs_bezier_m starts), and empties both.
---@param r integer 0..255
---@param g integer 0..255
---@param b integer 0..255
---@param a integer opacity 0..255
function bs_fill(r, g, b, a) end
